#!/usr/bin/env python3
"""Writes an output document of N structures (about 480 bytes each) to FILE, and a descriptor
DIR/document.xml whose command `bench document show` prints it: make_document.py N FILE DIR"""
import os
import sys


def main():
    count, path, directory = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    padding = "p" * 130
    with open(path, "w") as out:
        out.write('<?xml version="1.0"?>\n<output>\n<list type="structure">\n')
        for i in range(count):
            out.write(f'  <structure typeName="Disk">\n'
                      f'    <field name="Name"><string>disk-{i:08d}</string></field>\n'
                      f'    <field name="Path"><string>/dev/disk/by-id/{padding}</string></field>\n'
                      f'    <field name="Size"><int>{1000000 + i * 7}</int></field>\n'
                      f'    <field name="Mounted"><bool>{"true" if i % 2 == 0 else "false"}</bool></field>\n'
                      f'    <field name="Tags"><list type="string"><string>ssd</string></list></field>\n'
                      f'  </structure>\n')
        out.write('</list>\n</output>\n')
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "document.xml"), "w") as out:
        out.write(f"""<?xml version="1.0" encoding="UTF-8"?>
<plugin>
  <version>1.0.0</version>
  <namespaces>
    <namespace path="bench"><description>Bench commands.</description></namespace>
    <namespace path="bench.document"><description>Large output documents.</description></namespace>
  </namespaces>
  <commands>
    <command path="bench.document.show">
      <description>Print the bench document.</description>
      <input-spec/>
      <output-spec>
        <list type="structure">
          <structure typeName="Disk">
            <field name="Name"><string/></field>
            <field name="Path"><string/></field>
            <field name="Size"><int/></field>
            <field name="Mounted"><bool/></field>
            <field name="Tags"><list type="string"><string/></list></field>
          </structure>
        </list>
      </output-spec>
      <format-parameters><formatter>table</formatter></format-parameters>
      <execute>cat '{os.path.abspath(path)}'</execute>
    </command>
    <command path="bench.document.row">
      <description>Print a one-row document.</description>
      <input-spec/>
      <output-spec><list type="structure"><structure typeName="Row"><field name="Name"><string/></field></structure></list></output-spec>
      <format-parameters><formatter>table</formatter></format-parameters>
      <execute>printf '%s' '&lt;output&gt;&lt;list type="structure"&gt;&lt;structure typeName="Row"&gt;&lt;field name="Name"&gt;&lt;string&gt;one&lt;/string&gt;&lt;/field&gt;&lt;/structure&gt;&lt;/list&gt;&lt;/output&gt;'</execute>
    </command>
  </commands>
</plugin>
""")


main()
