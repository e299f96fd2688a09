#!/usr/bin/env python3
"""The dynamic symbols libcorvane exports: none of libxml2's (the library forwards to it by those
names), and nothing but the public API: every symbol names, after its namespaces, a class or
function that a public header or the test seams declare.
Usage: exported_symbols_test.py LIBRARY SOURCE_DIR"""
import glob
import re
import subprocess
import sys

library, source = sys.argv[1], sys.argv[2]
symbols = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True,
                         text=True).stdout.split()[2::3]
demangled = subprocess.run(["c++filt"], input="\n".join(symbols), check=True, capture_output=True,
                           text=True).stdout.splitlines()
declared = ""
for header in glob.glob(source + "/include/corvane/*.h") + [source + "/src/autocli/test_hooks.h"]:
    declared += open(header, encoding="utf-8").read()
words = set(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", declared))
namespaces = {"Corvane", "AutoCli", "MetaObj", "CallSpec"}
prefix = re.compile(r"^(?:(?:typeinfo name|typeinfo|vtable|VTT|guard variable) for |"
                    r"(?:non-)?virtual thunk to )")
problems = []
for raw, name in zip(symbols, demangled):
    if raw.startswith("xml"):
        problems.append("%s: libxml2's name" % raw)
        continue
    if raw == "Panic":
        continue
    name = prefix.sub("", name)
    if not name.startswith("Corvane::"):
        problems.append("%s: outside namespace Corvane" % name)
        continue
    parts = re.split(r"::", re.split(r"[(<\[ ]", name, 1)[0])
    while parts and parts[0] in namespaces:
        parts.pop(0)
    if not parts or parts[0] not in words:
        problems.append("%s: declared in no public header" % name)
for problem in problems:
    print(problem)
print("%d symbols, %d problems" % (len(symbols), len(problems)))
sys.exit(1 if problems else 0)
