#!/bin/sh
# Commands that leave a mark: each writes the file named by its second argument before printing its
# output document, so that a test can tell whether the program ran at all.
# Usage: demo.sh touch|list|loose MARKER
command=$1
: >"$2"
case $command in
touch)
    echo "<output><structure typeName=\"Touched\">"
    echo "<field name=\"Path\"><string>$2</string></field>"
    echo "<field name=\"Count\"><int>1</int></field>"
    echo "<field name=\"Done\"><bool>true</bool></field>"
    echo "</structure></output>"
    ;;
list | loose)
    echo "<output><list type=\"structure\">"
    for name in alpha beta; do
        echo "<structure typeName=\"Entry\">"
        echo "<field name=\"Name\"><string>$name</string></field>"
        echo "<field name=\"Size\"><int>${#name}</int></field>"
        echo "<field name=\"Owner\"><structure typeName=\"Owner\">"
        echo "<field name=\"Name\"><string>root</string></field>"
        echo "</structure></field>"
        echo "</structure>"
    done
    echo "</list></output>"
    ;;
esac
