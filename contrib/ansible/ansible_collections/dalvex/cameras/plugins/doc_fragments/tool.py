# -*- coding: utf-8 -*-
# The options every module of the collection takes to run the dalvex tool.

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
options:
  dalvex:
    description:
      - The dalvex program, a path or a name looked up on the search path.
    type: str
    default: dalvex
notes:
  - The password reaches the tool on a pipe, never on its command line or in its environment.
"""
