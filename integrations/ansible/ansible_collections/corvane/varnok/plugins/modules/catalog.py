#!/usr/bin/python
# -*- coding: utf-8 -*-
# The catalog module: returns the catalog of every varnok command the managed host offers.
# Copyright: (c) Corvane AutoCli developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: catalog
short_description: Return the catalog of the varnok commands of a host
version_added: "0.1.0"
description:
  - Runs C(varnok-doc --schema) on the managed host into a temporary directory and returns the
    C(catalog.json) it wrote, which lists every command with its path, description, effect,
    default formatter and the JSON Schemas of its options and result.
  - varnok-doc loads the plugins varnok would load with the same I(plugin_dirs) (the installed
    plugin directories first), so the catalog describes exactly what M(corvane.varnok.command)
    can call there.
  - The catalogs of two hosts compare with C(varnok-lint --compat OLD NEW) on the controller.
  - Nothing on the host changes; the temporary directory is removed.
options:
  plugin_dirs:
    description:
      - Plugin directories to load after the installed ones, each given as C(--plugin-dir).
    type: list
    elements: path
    default: []
  executable:
    description:
      - The varnok program whose catalog is wanted. C(varnok-doc) is taken from the same
        directory when I(executable) is a path and a C(varnok-doc) is there, and otherwise looked
        up on the managed host's C(PATH).
    type: str
    default: varnok
attributes:
  check_mode:
    support: full
    description: Reads only; runs the same in check mode.
  diff_mode:
    support: none
    description: Returns no diff.
seealso:
  - module: corvane.varnok.command
author:
  - Corvane AutoCli developers (@corvane)
"""

EXAMPLES = r"""
- name: Gather the catalog of each host
  corvane.varnok.catalog:
    plugin_dirs: [/srv/varnok/plugins]
  register: host_catalog

- name: Keep it on the controller
  ansible.builtin.copy:
    content: "{{ host_catalog.catalog | to_nice_json }}"
    dest: "catalogs/{{ inventory_hostname }}.json"
  delegate_to: localhost
"""

RETURN = r"""
catalog:
  description: The parsed C(catalog.json) of varnok-doc.
  returned: success
  type: dict
  sample: {"commands": [{"path": "system info get", "effect": "read"}]}
doc_executable:
  description: The varnok-doc program that ran.
  returned: always
  type: str
  sample: /usr/bin/varnok-doc
rc:
  description: varnok-doc's exit status.
  returned: always
  type: int
  sample: 0
stderr:
  description: varnok-doc's standard error.
  returned: always
  type: str
  sample: ""
"""

import json
import os
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.corvane.varnok.plugins.module_utils.varnok import (
    companion_program,
    dispatcher_args,
    error_message,
)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            plugin_dirs=dict(type="list", elements="path", default=[]),
            executable=dict(type="str", default="varnok"),
        ),
        supports_check_mode=True,
    )
    doc = companion_program(module.params["executable"], "varnok-doc",
                            lambda name: module.get_bin_path(name, required=True))
    directory = tempfile.mkdtemp(prefix="varnok-catalog-")
    try:
        args = [doc, "--schema", directory] + dispatcher_args(module.params["plugin_dirs"], formatter=None)
        rc, out, err = module.run_command(args)
        outcome = dict(rc=rc, stderr=err, doc_executable=doc)
        if rc != 0:
            module.fail_json(msg=error_message(err, out), **outcome)
        try:
            with open(os.path.join(directory, "catalog.json")) as f:
                catalog = json.load(f)
        except (IOError, ValueError) as e:
            module.fail_json(msg="varnok-doc wrote no readable catalog.json: %s" % e, **outcome)
    finally:
        shutil.rmtree(directory, ignore_errors=True)
    module.exit_json(changed=False, catalog=catalog, **outcome)


if __name__ == "__main__":
    main()
