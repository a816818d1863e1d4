#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: facts
short_description: Gather the body-worn cameras of a host as facts
description:
  - Lists the cameras of the host with C(dalvex list --json) into the fact C(dalvex_cameras).
  - With the login password, each camera also gets its settings records, as
    C(dalvex get all --json) prints them (secret fields as C({"hidden":true})).
  - A host without a camera has an empty list.
version_added: "1.0.0"
author:
  - Dalvex developers
extends_documentation_fragment:
  - dalvex.cameras.tool
options:
  password:
    description:
      - The cameras' login password; without it no records are read.
    type: str
notes:
  - The tool's exit codes 1, 2 and 4 fail the task with the tool's message.
seealso:
  - module: dalvex.cameras.settings
attributes:
  check_mode:
    support: full
  facts:
    support: full
"""

EXAMPLES = r"""
- name: Find the docked cameras
  dalvex.cameras.facts:

- name: Find them with their settings
  dalvex.cameras.facts:
    password: "{{ camera_login_password }}"

- name: Show each camera's serial and video length
  ansible.builtin.debug:
    msg: "{{ item.serial }}: {{ item.records.setting.videoLength }}"
  loop: "{{ ansible_facts.dalvex_cameras }}"
"""

RETURN = r"""
ansible_facts:
  description: The facts gathered.
  returned: always
  type: dict
  contains:
    dalvex_cameras:
      description:
        - One entry per camera, as C(dalvex list --json) prints it (letter, serial, model,
          model_code, firmware, battery, storage_exposed).
        - With I(password), also C(records) (record to field to value) and C(status).
      type: list
      elements: dict
      sample:
        - letter: E
          serial: RK20A00417
          model: RK20
          model_code: 48
          firmware: EMU_FW_1.0.0
          battery: 87
          storage_exposed: false
          records:
            setting:
              videoLength: 5 Minutes
          status: ok
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.dalvex.cameras.plugins.module_utils.dalvex_tool import (
    failure_message,
    run_tool,
)

NO_CAMERA = 3


def main():
    module = AnsibleModule(
        argument_spec=dict(
            password=dict(type="str", no_log=True),
            dalvex=dict(type="str", default="dalvex"),
        ),
        supports_check_mode=True,
    )
    rc, document, stderr = run_tool(module, ["list"])
    if rc not in (0, NO_CAMERA):
        module.fail_json(msg=failure_message(rc, document, stderr), rc=rc)
    cameras = document.get("cameras", [])

    password = module.params["password"]
    if cameras and password is not None:
        rc, document, stderr = run_tool(module, ["get", "all"], password)
        if rc != 0:
            module.fail_json(msg=failure_message(rc, document, stderr), rc=rc)
        by_letter = {c.get("letter"): c for c in document.get("cameras", [])}
        for camera in cameras:
            read = by_letter.get(camera.get("letter"), {})
            for key in ("records", "status", "error"):
                if key in read:
                    camera[key] = read[key]

    module.exit_json(changed=False, ansible_facts=dict(dalvex_cameras=cameras))


if __name__ == "__main__":
    main()
