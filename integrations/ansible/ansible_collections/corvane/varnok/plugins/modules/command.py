#!/usr/bin/python
# -*- coding: utf-8 -*-
# The command module: runs one varnok command on the managed host and returns its typed result.
# Copyright: (c) Corvane AutoCli developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: command
short_description: Run one varnok command and return its typed result
version_added: "0.1.0"
description:
  - Runs one command of C(varnok) on the managed host, without a shell, with C(--formatter json),
    and returns the command's typed result as data.
  - Before the call the module reads the command's C(--help) for its declared effect (the
    C(Effect:) line). A command whose effect is C(read) never reports a change; C(change) and
    C(destroy) always do; a command that declares no effect reports a change, since nothing says it
    leaves the host as it was. The C(--help) call runs nothing.
  - Secrets are never put on a command line. Each secret option is given last, without a value,
    and varnok reads its value from standard input, one line per secret in the order of I(secrets).
  - In check mode the call is made with C(--dry-run), which runs nothing; what would run is
    returned as RV(dry_run).
options:
  path:
    description:
      - The command path, one word per namespace and the command last, for example
        C([system, process, list]).
    type: list
    elements: str
    required: true
  params:
    description:
      - The command's options, by name without dashes, in the order given.
      - A string or an integer becomes C(--NAME=VALUE); a list gives the option once for each
        element; C(true) gives the bare C(--NAME), which is how a flag is set; C(false) and C(null)
        leave the option out.
      - An option of type C(bool) takes its value as a string, for example C(up="false").
    type: dict
    default: {}
  secrets:
    description:
      - Secret options by name without dashes. Their values are handed to varnok's prompt on
        standard input, one line each; they never appear on a command line, in the module's
        result or in a log.
      - A value cannot hold a line break.
    type: dict
    default: {}
  plugin_dirs:
    description:
      - Plugin directories to load after the installed ones, each given as C(--plugin-dir).
    type: list
    elements: path
    default: []
  where:
    description:
      - Conditions C(FIELD OP VALUE) on the rows of a list result, each given as C(--where); a row
        is kept when all of them hold.
    type: list
    elements: str
    default: []
  sort:
    description:
      - Fields to sort the rows of a list result by, C(-) before a field for descending order;
        given as one C(--sort) with the fields joined by commas.
    type: list
    elements: str
  limit:
    description:
      - At most this many rows of a list result, after sorting (C(--limit)).
    type: int
  executable:
    description:
      - The varnok program, a path or a name looked up on the managed host's C(PATH).
    type: str
    default: varnok
attributes:
  check_mode:
    support: full
    description: Makes the call with C(--dry-run), which runs nothing and reports what would run.
  diff_mode:
    support: none
    description: Returns no diff.
notes:
  - varnok's exit status 1 fails the task with varnok's messages in I(msg).
seealso:
  - module: corvane.varnok.catalog
author:
  - Corvane AutoCli developers (@corvane)
"""

EXAMPLES = r"""
- name: The three largest processes of each host
  corvane.varnok.command:
    path: [system, process, list]
    params:
      sort: rss
      limit: 3
  register: processes

- name: Only the file systems of two types, from a list option
  corvane.varnok.command:
    path: [system, filesystem, list]
    params:
      type: [ext4, tmpfs]
    where:
      - "Capacity > 50"
    sort: [-Capacity]

- name: A command with a secret, read by varnok from standard input
  corvane.varnok.command:
    path: [text, digest, compute]
    params:
      algorithm: md5
    secrets:
      value: "{{ vault_value }}"

- name: Commands from a plugin directory of the host, with another varnok
  corvane.varnok.command:
    executable: /opt/corvane/bin/varnok
    plugin_dirs: [/opt/corvane/lib/corvane/examples]
    path: [system, info, get]
"""

RETURN = r"""
result:
  description: The command's typed result as the json formatter printed it, parsed.
  returned: success, not in check mode
  type: raw
  sample: {"Hostname": "web1", "Processors": 2}
dry_run:
  description: What would run, from C(--dry-run) (the command, its parameters with secrets masked,
    and the text handed to the shell).
  returned: success in check mode
  type: dict
  sample: {"Command": "system info get", "Kind": "shell", "Shell": "/bin/sh '.../info.sh'"}
effect:
  description: The effect the command declares (C(read), C(change) or C(destroy)); null when it
    declares none.
  returned: when the command's help could be read
  type: str
  sample: read
rc:
  description: varnok's exit status.
  returned: always
  type: int
  sample: 0
stderr:
  description: varnok's standard error, with the prompts of secrets but never their values.
  returned: always
  type: str
  sample: ""
cmd:
  description: The argument vector that ran (secret options without values).
  returned: always
  type: list
  elements: str
  sample: [varnok, --formatter, json, system, info, get]
msg:
  description: varnok's error messages, one per line.
  returned: failure
  type: str
  sample: "Unknown parameter 'pdi'"
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.corvane.varnok.plugins.module_utils.varnok import (
    VarnokArgumentError,
    changes,
    command_line,
    effect_of,
    error_message,
    help_line,
    parse_result,
)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            path=dict(type="list", elements="str", required=True),
            params=dict(type="dict", default={}),
            secrets=dict(type="dict", default={}, no_log=True),
            plugin_dirs=dict(type="list", elements="path", default=[]),
            where=dict(type="list", elements="str", default=[]),
            sort=dict(type="list", elements="str"),
            limit=dict(type="int"),
            executable=dict(type="str", default="varnok"),
        ),
        supports_check_mode=True,
    )
    p = module.params
    executable = p["executable"]
    if "/" not in executable:
        executable = module.get_bin_path(executable, required=True)

    try:
        args, stdin = command_line(executable, p["path"], p["params"], p["secrets"], p["plugin_dirs"],
                                   p["where"], p["sort"], p["limit"], dry_run=module.check_mode)
    except VarnokArgumentError as e:
        module.fail_json(msg=str(e))

    rc, out, err = module.run_command(help_line(executable, p["path"], p["plugin_dirs"]))
    if rc != 0:
        module.fail_json(msg=error_message(err, out), rc=rc, stderr=err,
                         cmd=help_line(executable, p["path"], p["plugin_dirs"]))
    effect = effect_of(out)

    rc, out, err = module.run_command(args, data=stdin if stdin else None, binary_data=True)
    outcome = dict(rc=rc, stderr=err, cmd=args, effect=effect)
    if rc != 0:
        module.fail_json(msg=error_message(err, out), stdout=out, **outcome)
    try:
        value = parse_result(out)
    except ValueError as e:
        module.fail_json(msg="varnok printed no JSON: %s" % e, stdout=out, **outcome)
    outcome["dry_run" if module.check_mode else "result"] = value
    module.exit_json(changed=changes(effect), **outcome)


if __name__ == "__main__":
    main()
