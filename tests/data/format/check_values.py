# Reads formatter output back and compares it with the value it should hold:
#   check_values.py json|eval OUTPUT-FILE EXPECTED-FILE...
# EXPECTED-FILE holds a Python expression; one line is printed per mismatch.
import json, re, sys
def text(hexbytes):
    value = bytes.fromhex(hexbytes).decode('utf-8', 'surrogateescape')
    if sys.argv[1] == 'json': value = re.sub('[\udc80-\udcff]', lambda m: chr(ord(m.group()) - 0xdc00), value)
    return value
for value, want in zip(sys.argv[2::2], sys.argv[3::2]):
    raw, want = open(value, 'rb').read(), eval(open(want, encoding='utf-8').read())
    got = json.loads(raw.decode('ascii')) if sys.argv[1] == 'json' else eval(raw.decode('utf-8'))
    if got != want: print(value, repr(got), '!=', repr(want))
