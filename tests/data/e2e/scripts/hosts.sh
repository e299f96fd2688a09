#!/bin/sh
# A small fleet for the query and dry-run tests: writes the file named by its second argument before
# printing its output document, so that a test can tell whether the program ran at all.
# Usage: hosts.sh list|show MARKER [more arguments, ignored]
: >"$2"
host() {
    echo "<structure typeName=\"Host\">"
    echo "<field name=\"Name\"><string>$1</string></field>"
    echo "<field name=\"Cpus\"><int>$2</int></field>"
    echo "<field name=\"Up\"><bool>$3</bool></field>"
    echo "<field name=\"Site\"><structure typeName=\"Site\">"
    echo "<field name=\"City\"><string>$4</string></field>"
    echo "<field name=\"Rack\"><int>$5</int></field>"
    echo "</structure></field>"
    echo "</structure>"
}
case $1 in
list)
    echo "<output><list type=\"structure\">"
    host web1 4 true Oslo 2
    host db1 16 true Bergen 1
    host web2 4 false Oslo 1
    host cache 8 true Oslo 3
    echo "</list></output>"
    ;;
show)
    echo "<output><structure typeName=\"Site\">"
    echo "<field name=\"City\"><string>Oslo</string></field>"
    echo "<field name=\"Rack\"><int>2</int></field>"
    echo "</structure></output>"
    ;;
esac
