# Turns tab-separated records into an output document: a list of structures, or one structure.
#
# Variables (awk -v):
#   type    the structure's type name
#   fields  comma-separated Name:kind pairs, one per column (kind: string, int or bool);
#           a name Group.Field puts that column into a nested structure field Group
#   nested  comma-separated Group=TypeName pairs naming the nested structures' types
#   single  1: print the first record as one structure instead of a list
# Every text is escaped, so any file name, process name or mount point is safe to print.
function esc(s) {
    gsub(/&/, "\\&amp;", s)
    gsub(/</, "\\&lt;", s)
    gsub(/>/, "\\&gt;", s)
    return s
}
function open_struct(indent, name) {
    print indent "<structure typeName=\"" esc(name) "\">"
}
function record(indent,    i, group, inner, fname) {
    open_struct(indent, type)
    group = ""
    for (i = 1; i <= n; i++) {
        fname = name[i]
        inner = indent "  "
        if (index(fname, ".") > 0) {
            if (substr(fname, 1, index(fname, ".") - 1) != group) {
                if (group != "")
                    print indent "    </structure></field>"
                group = substr(fname, 1, index(fname, ".") - 1)
                print indent "  <field name=\"" esc(group) "\">"
                open_struct(indent "    ", groupType[group])
            }
            fname = substr(fname, index(fname, ".") + 1)
            inner = indent "      "
        } else if (group != "") {
            print indent "    </structure></field>"
            group = ""
        }
        print inner "<field name=\"" esc(fname) "\"><" kind[i] ">" esc($i) "</" kind[i] "></field>"
    }
    if (group != "")
        print indent "    </structure></field>"
    print indent "</structure>"
}
BEGIN {
    FS = "\t"
    n = split(fields, spec, ",")
    for (i = 1; i <= n; i++) {
        split(spec[i], pair, ":")
        name[i] = pair[1]
        kind[i] = pair[2]
    }
    m = split(nested, groups, ",")
    for (i = 1; i <= m; i++) {
        split(groups[i], pair, "=")
        groupType[pair[1]] = pair[2]
    }
    print "<output>"
    if (!single)
        print "  <list type=\"structure\">"
}
single && NR == 1 { record("  ") }
!single { record("    ") }
END {
    if (!single)
        print "  </list>"
    print "</output>"
}
