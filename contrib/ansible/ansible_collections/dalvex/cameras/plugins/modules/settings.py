#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: settings
short_description: Bring a body-worn camera's settings to a profile
description:
  - Runs C(dalvex apply --json) with a profile, the JSON that C(dalvex get --json) prints, so
    that the camera's settings records hold the profile's values.
  - Only fields whose value differs are written; the task is C(changed) only when one did.
  - In check mode the tool runs with C(--dry-run) and nothing is written.
  - In diff mode each changed field shows its value before and after. Secret fields (network
    passwords) are never shown, only that they change.
  - Each write goes to the tool's audit log, as from the command line.
version_added: "1.0.0"
author:
  - Dalvex developers
extends_documentation_fragment:
  - dalvex.cameras.tool
options:
  profile:
    description:
      - The profile, as the path of a JSON file on the managed host or as the profile itself
        (a dictionary).
      - Its shape is what C(dalvex get --json) prints, the whole document for one camera, one
        camera's object, or its C(records) alone.
      - A secret field that C(get) printed as C({"hidden":true}) is left as it is.
    type: raw
    required: true
  letter:
    description:
      - The drive letter of the camera to change.
      - Without I(letter) or I(all), the only connected camera.
    type: str
  all:
    description:
      - Change every connected camera.
    type: bool
    default: false
  password:
    description:
      - The camera's login password.
      - Without it the tool takes the password from its environment (C(DALVEX_PASSWORD)).
    type: str
notes:
  - The tool's exit codes 1 (a camera failed), 2 (usage), 3 (no camera) and 4 (wrong password)
    fail the task with the tool's message.
seealso:
  - module: dalvex.cameras.facts
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
"""

EXAMPLES = r"""
- name: Bring the camera on E to the agency profile
  dalvex.cameras.settings:
    profile: /etc/dalvex/profile.json
    letter: E
    password: "{{ camera_login_password }}"

- name: The same values on every docked camera, from a profile given inline
  dalvex.cameras.settings:
    all: true
    password: "{{ camera_login_password }}"
    profile:
      records:
        setting:
          videoLength: 10 Minutes
          videoResolution: 1920*1080/30F
"""

RETURN = r"""
cameras:
  description: What the tool reports per camera (letter, serial, model, status, changes).
  returned: always
  type: list
  elements: dict
  sample:
    - letter: E
      serial: RK20A00417
      model: RK20
      model_code: 48
      status: ok
      changes:
        setting:
          videoLength:
            old: 5 Minutes
            new: 10 Minutes
changes:
  description:
    - The changed fields per camera, keyed by letter and serial, then by C(record.field), each
      with C(before) and C(after). A secret's values are C((hidden)).
  returned: always
  type: dict
  sample:
    "E: RK20A00417":
      setting.videoLength:
        before: 5 Minutes
        after: 10 Minutes
"""

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.six import string_types
from ansible_collections.dalvex.cameras.plugins.module_utils.dalvex_tool import (
    failure_message,
    run_tool,
)

HIDDEN = "(hidden)"


def looks_secret(field):
    # The tool names its secret fields password or apPassword; it also reports their values
    # as null. Either is enough to keep a value out of the output.
    return "password" in field.lower()


def collect_secrets(node, found):
    """The values of fields named like secrets anywhere in the profile."""
    if isinstance(node, dict):
        for key, value in node.items():
            if looks_secret(str(key)) and isinstance(value, string_types):
                found.add(value)
            else:
                collect_secrets(value, found)
    elif isinstance(node, list):
        for item in node:
            collect_secrets(item, found)


def shown(field, value):
    return HIDDEN if value is None or looks_secret(field) else value


def field_changes(cameras):
    """Per camera, each changed record.field with its before and after."""
    result = {}
    for camera in cameras:
        changes = camera.get("changes") or {}
        fields = {}
        for record, by_field in sorted(changes.items()):
            for field, change in sorted(by_field.items()):
                before = shown(field, change.get("old"))
                after = shown(field, change.get("new"))
                if before == HIDDEN or after == HIDDEN:
                    # A secret's values stay hidden: the diff only says that it changes.
                    before, after = HIDDEN, HIDDEN + " changed"
                fields["%s.%s" % (record, field)] = {"before": before, "after": after}
        if fields:
            label = "%s: %s" % (camera.get("letter", "?"), camera.get("serial", "?"))
            result[label] = fields
    return result


def write_profile(module, profile):
    """The inline profile in a private file of the module's temporary folder."""
    fd, path = tempfile.mkstemp(prefix="profile-", suffix=".json", dir=module.tmpdir)
    with os.fdopen(fd, "w") as out:
        json.dump(profile, out)
    return path


def main():
    module = AnsibleModule(
        argument_spec=dict(
            profile=dict(type="raw", required=True),
            letter=dict(type="str"),
            all=dict(type="bool", default=False),
            password=dict(type="str", no_log=True),
            dalvex=dict(type="str", default="dalvex"),
        ),
        mutually_exclusive=[["letter", "all"]],
        supports_check_mode=True,
    )
    profile = module.params["profile"]
    if isinstance(profile, dict):
        secrets = set()
        collect_secrets(profile, secrets)
        module.no_log_values.update(s for s in secrets if s)
        path = write_profile(module, profile)
    elif isinstance(profile, string_types):
        path = profile
    else:
        module.fail_json(msg="profile must be a path or a dictionary")

    args = ["apply", path]
    if module.params["letter"]:
        args += ["--letter", module.params["letter"]]
    elif module.params["all"]:
        args.append("--all")
    if module.check_mode:
        args.append("--dry-run")

    rc, document, stderr = run_tool(module, args, module.params["password"])
    cameras = document.get("cameras", [])
    if rc != 0:
        # Cameras written before another failed have changed all the same.
        written = [c for c in cameras if c.get("status") == "ok"]
        module.fail_json(msg=failure_message(rc, document, stderr), rc=rc, cameras=cameras,
                         changed=bool(field_changes(written)))

    changes = field_changes(cameras)
    result = dict(changed=bool(changes), cameras=cameras, changes=changes)
    if module._diff:
        result["diff"] = dict(
            before={label: {k: v["before"] for k, v in f.items()} for label, f in changes.items()},
            after={label: {k: v["after"] for k, v in f.items()} for label, f in changes.items()},
        )
    module.exit_json(**result)


if __name__ == "__main__":
    main()
