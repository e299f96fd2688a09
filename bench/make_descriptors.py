#!/usr/bin/env python3
"""Writes N descriptors of ten commands each into DIR: make_descriptors.py N DIR

Each descriptor declares its own top-level namespace and ten commands with three constrained
parameters, a structure output and format parameters, about the size of a real descriptor."""
import os
import sys

COMMAND = """    <command path="bench{d}.item.cmd{c}">
      <description>Show the state of item {c} of the bench set {d}, one row per element.</description>
      <input-spec>
        <parameter name="name" shortname="n" type="string" required="false">
          <description>Only the element with this name.</description>
          <constraint type="regex"><regex>[a-z][a-z0-9.-]*</regex></constraint>
        </parameter>
        <parameter name="limit" shortname="l" type="int" required="false">
          <description>At most this many elements.</description>
          <constraint type="range"><range min="1" max="100000"/></constraint>
        </parameter>
        <parameter name="sort" shortname="s" type="string" required="false">
          <description>The order of the rows.</description>
          <constraint type="stringenum">
            <enum>
              <enum-value value="name">by name</enum-value>
              <enum-value value="size">by size</enum-value>
            </enum>
          </constraint>
        </parameter>
      </input-spec>
      <output-spec>
        <list type="structure">
          <structure typeName="Item{c}">
            <field name="Name"><string/></field>
            <field name="Size"><int/></field>
            <field name="Online"><bool/></field>
          </structure>
        </list>
      </output-spec>
      <format-parameters>
        <formatter>table</formatter>
        <format-parameter name="fields:Item{c}">Name,Size,Online</format-parameter>
      </format-parameters>
      <execute>/bin/sh /nonexistent/item.sh --set {d} --item {c}$if{{limit, --limit $val{{limit}}}}</execute>
    </command>
"""


def main():
    count, directory = int(sys.argv[1]), sys.argv[2]
    os.makedirs(directory, exist_ok=True)
    for d in range(count):
        parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<plugin>\n  <version>1.0.0</version>\n',
                 '  <namespaces>\n',
                 f'    <namespace path="bench{d}"><description>Bench set {d}.</description></namespace>\n',
                 f'    <namespace path="bench{d}.item"><description>Items of set {d}.</description></namespace>\n',
                 '  </namespaces>\n  <commands>\n']
        parts += [COMMAND.format(d=d, c=c) for c in range(10)]
        parts.append('  </commands>\n</plugin>\n')
        with open(os.path.join(directory, f"bench{d:05d}.xml"), "w") as out:
            out.write("".join(parts))


main()
