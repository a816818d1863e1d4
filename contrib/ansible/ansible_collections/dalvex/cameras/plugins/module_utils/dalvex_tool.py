# -*- coding: utf-8 -*-
# Running the dalvex tool from a module: its JSON document, its exit codes, the password on a pipe.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

# The tool's documented exit codes other than 0.
EXIT_MESSAGES = {
    1: "some camera failed",
    2: "usage error",
    3: "no camera found",
    4: "wrong password",
}


def tool_path(module, program):
    """The program to run: a path as given, else found on the search path."""
    if os.sep in program:
        return program
    return module.get_bin_path(program, required=True)


def run_tool(module, args, password=None):
    """Runs dalvex --json ARGS. The password goes down a pipe (--password-fd 0), never on the
    command line or into the environment. Returns (rc, document, stderr)."""
    # Without a terminal the tool cannot stop at a password prompt that nobody answers: it
    # fails instead, naming where it looks for one.
    try:
        os.setsid()
    except OSError:
        pass
    command = [tool_path(module, module.params["dalvex"]), "--json"] + list(args)
    if password is not None:
        command += ["--password-fd", "0"]
    rc, out, err = module.run_command(command, data=password, binary_data=False)
    try:
        document = json.loads(out) if out.strip() else {}
    except ValueError:
        document = {}
    if not isinstance(document, dict):
        document = {}
    return rc, document, err


def failure_message(rc, document, stderr):
    """The tool's own words for a failed run: its errors, else its standard error."""
    errors = [e for e in document.get("errors", []) if isinstance(e, str)]
    if not errors:
        errors = [line for line in stderr.splitlines() if line.strip()]
    what = EXIT_MESSAGES.get(rc, "exit code %d" % rc)
    return "dalvex: %s: %s" % (what, "; ".join(errors) if errors else "no message")
