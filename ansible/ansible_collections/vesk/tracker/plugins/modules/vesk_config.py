#!/usr/bin/python3
# -*- coding: utf-8 -*-
# Copyright 2026 The veskfrontend developers
# GNU General Public License v3.0 or later (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: vesk_config
short_description: Set settings and categories in a vesk tracker's configuration file
version_added: "4.0.0"
description:
  - Brings the configuration file of a vesk tracker (C(vesk.cfg)) to the
    settings and categories given, the way the veskfrontend editor saves it, with
    the lines in one sorted order, categories numbered afresh, every line it
    does not know kept, the previous file kept as the backup (C(veskold.cfg)).
  - Everything given is checked first (unknown keys, with the keys probably
    meant; values against their settings; category names); when anything
    fails nothing is changed.
  - All changes go to the file in one save, under the same lock every copy
    of the editor and of veskcfg takes, keeping the file's owner, group,
    mode, access list and attributes.
  - Runs C(veskcfg apply) on the managed host.
options:
  path:
    description: The configuration file.
    type: path
    required: true
  settings:
    description:
      - Settings by key, as C(veskcfg list) names them. A value is written
        as it is (a number as its digits, C(true) and C(false) as C(1) and
        C(0)); C(null) removes the setting's line.
    type: dict
    default: {}
  categories:
    description: Torrent categories, each present (added at its sorted place, or its image changed) or absent.
    type: list
    elements: dict
    default: []
    suboptions:
      name:
        description: The category's name; it may not hold C(|) or a line break.
        type: str
        required: true
      image:
        description: Its image file; needed for a present category.
        type: str
      state:
        description: Whether the category is there.
        type: str
        choices: [present, absent]
        default: present
  backup:
    description: Keep the file that is replaced as the backup (C(veskold.cfg) beside C(vesk.cfg)).
    type: bool
    default: true
  force:
    description: Write values that do not fit their setting's kind.
    type: bool
    default: false
requirements:
  - veskcfg (the veskcfg package) on the managed host
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - The veskfrontend developers (@veskfrontend)
"""

EXAMPLES = r"""
- name: Tracker port and announce interval
  vesk.tracker.vesk_config:
    path: /etc/vesk/vesk.cfg
    settings:
      port: 6970
      announce_interval: 1800
      vesk_debug: null

- name: Categories the trackers share
  vesk.tracker.vesk_config:
    path: /etc/vesk/vesk.cfg
    categories:
      - name: Linux ISOs
        image: /file/linux.png
      - name: Anime
        state: absent
"""

RETURN = r"""
settings:
  description: The keys set or removed.
  returned: always
  type: list
  elements: str
  sample: [port, vesk_debug]
categories_added:
  description: The names of the categories added.
  returned: always
  type: list
  elements: str
  sample: [Linux ISOs]
categories_changed:
  description: The names of the categories whose image changed.
  returned: always
  type: list
  elements: str
categories_removed:
  description: The names of the categories removed.
  returned: always
  type: list
  elements: str
  sample: [Anime]
problems:
  description: Values in the file, as saved, that do not fit their settings (written with force, or there before).
  returned: always
  type: list
  elements: str
  sample: ["port: must be a whole number, 1 to 65535"]
"""

import json

from ansible.module_utils.basic import AnsibleModule


def value_text(value):
    if value is None:
        return None
    if isinstance(value, bool):
        return "1" if value else "0"
    return str(value)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            path=dict(type="path", required=True),
            settings=dict(type="dict", default={}),
            categories=dict(
                type="list",
                elements="dict",
                default=[],
                options=dict(
                    name=dict(type="str", required=True),
                    image=dict(type="str"),
                    state=dict(type="str", choices=["present", "absent"], default="present"),
                ),
            ),
            backup=dict(type="bool", default=True),
            force=dict(type="bool", default=False),
        ),
        supports_check_mode=True,
    )
    veskcfg = module.get_bin_path("veskcfg")
    if not veskcfg:
        module.fail_json(msg="install the veskcfg package on this host (veskcfg was not found on its PATH)")
    wanted = {
        "settings": dict((key, value_text(value)) for key, value in module.params["settings"].items()),
        "categories": [
            dict((k, v) for k, v in c.items() if v is not None) for c in module.params["categories"]
        ],
    }
    command = [veskcfg, "--file", module.params["path"], "--json"]
    if module.check_mode:
        command.append("--dry-run")
    if module.params["force"]:
        command.append("--force")
    if not module.params["backup"]:
        command.append("--no-backup")
    command += ["apply", "-"]
    rc, out, err = module.run_command(command, data=json.dumps(wanted), binary_data=True)
    if rc != 0:
        message = err.strip()
        if message.startswith("veskcfg: "):
            message = message[len("veskcfg: "):]
        message = message.replace("\nTry 'veskcfg --help' for more information.", "")
        module.fail_json(msg=message or "veskcfg apply failed", rc=rc)
    done = json.loads(out)
    result = dict(
        changed=done["changed"],
        settings=done.get("settings", []),
        categories_added=done.get("categoriesAdded", []),
        categories_changed=done.get("categoriesChanged", []),
        categories_removed=done.get("categoriesRemoved", []),
        problems=done.get("problems", []),
    )
    if module._diff and done.get("diff"):
        result["diff"] = dict(prepared=done["diff"])
    module.exit_json(**result)


if __name__ == "__main__":
    main()
