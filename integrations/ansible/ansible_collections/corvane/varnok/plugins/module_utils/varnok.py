# -*- coding: utf-8 -*-
# Helpers of the varnok modules: the command line, the secrets' input, the effect and the errors.
# Copyright: (c) Corvane AutoCli developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import re

from ansible.module_utils.six import integer_types, string_types

# The line of a command's --help that says what running it does.
EFFECT_LINE = re.compile(r"^Effect: (\S+)\s*$", re.MULTILINE)

# What varnok writes to standard error around its messages and for a secret's prompt.
ERRORS_HEADER = "Errors: "
PROMPT_LINE = re.compile(r"^Enter value for '[^']*': ")

EFFECTS_THAT_CHANGE = ("change", "destroy")


class VarnokArgumentError(ValueError):
    """An option of the module that cannot become a varnok command line."""


def dispatcher_args(plugin_dirs=None, where=None, sort=None, limit=None, dry_run=False, formatter="json"):
    """The dispatcher options, in the order varnok takes them before the command path."""
    args = []
    for directory in plugin_dirs or []:
        args.extend(["--plugin-dir", directory])
    if formatter:
        args.extend(["--formatter", formatter])
    for condition in where or []:
        args.append("--where=" + condition)
    if sort:
        args.append("--sort=" + (",".join(sort) if isinstance(sort, list) else sort))
    if limit is not None:
        if isinstance(limit, bool) or not isinstance(limit, integer_types):
            raise VarnokArgumentError("limit must be a whole number of rows, not %r" % (limit,))
        args.append("--limit=%d" % limit)
    if dry_run:
        args.append("--dry-run")
    return args


def _option_value(name, value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, integer_types):
        return str(value)
    if isinstance(value, string_types):
        return value
    raise VarnokArgumentError("params.%s: a value must be a string, an integer or a boolean, not %s"
                              % (name, type(value).__name__))


def _check_name(name, what):
    if not isinstance(name, string_types) or not re.match(r"^[A-Za-z0-9][A-Za-z0-9_.-]*$", name):
        raise VarnokArgumentError("%s: %r is no option name (give it without dashes)" % (what, name))


def param_args(params):
    """The command options of PARAMS, in its order.

    A string or an integer gives --NAME=VALUE, a list gives the option once per element, true gives
    the bare --NAME (a flag), and false or null leave the option out.
    """
    args = []
    for name, value in (params or {}).items():
        _check_name(name, "params")
        if value is None or value is False:
            continue
        if value is True:
            args.append("--" + name)
        elif isinstance(value, list):
            args.extend("--%s=%s" % (name, _option_value(name, element)) for element in value)
        else:
            args.append("--%s=%s" % (name, _option_value(name, value)))
    return args


def secret_args_and_input(secrets):
    """The bare secret options for the end of the command line, and the lines that answer them.

    varnok asks for a secret option given without a value on its prompt and reads one line of
    standard input for it, in the order of the options.
    """
    args = []
    lines = []
    for name, value in (secrets or {}).items():
        _check_name(name, "secrets")
        value = _option_value(name, value)
        if "\n" in value or "\r" in value:
            raise VarnokArgumentError("secrets.%s: a secret is read as one line and cannot hold a line break" % name)
        args.append("--" + name)
        lines.append(value + "\n")
    return args, "".join(lines)


def command_line(executable, path, params=None, secrets=None, plugin_dirs=None, where=None, sort=None,
                 limit=None, dry_run=False):
    """The whole argument vector of one call and the text for its standard input."""
    if not path:
        raise VarnokArgumentError("path names no command")
    for word in path:
        if not isinstance(word, string_types) or not word or word.startswith("-"):
            raise VarnokArgumentError("path: %r is no command path word" % (word,))
    secret_args, stdin = secret_args_and_input(secrets)
    args = [executable] + dispatcher_args(plugin_dirs, where, sort, limit, dry_run) + list(path)
    return args + param_args(params) + secret_args, stdin


def help_line(executable, path, plugin_dirs=None):
    """The call that prints the help of the command at PATH, which names its effect."""
    return [executable] + dispatcher_args(plugin_dirs, formatter=None) + list(path) + ["--help"]


def effect_of(help_text):
    """The effect a command's help declares (read, change or destroy), or None when it declares none."""
    match = EFFECT_LINE.search(help_text or "")
    return match.group(1) if match else None


def changes(effect):
    """Whether a call of a command with EFFECT changes the host: read never does; an undeclared
    effect counts as a change, because nothing says it does not."""
    return effect != "read"


def error_message(stderr, stdout=""):
    """varnok's messages from its standard error, without the secrets' prompts and the header."""
    lines = []
    for line in (stderr or "").splitlines():
        line = PROMPT_LINE.sub("", line)
        if line.strip() in ("", ERRORS_HEADER.strip()):
            continue
        lines.append(line.strip())
    if not lines and stdout:
        lines = [line.strip() for line in stdout.splitlines() if line.strip()]
    return "\n".join(lines) if lines else "varnok failed without a message"


def parse_result(stdout):
    """The typed result varnok printed with the json formatter."""
    return json.loads(stdout)


def companion_program(executable, name, find_on_path):
    """The program NAME beside EXECUTABLE when EXECUTABLE is a path and it exists there, otherwise
    what FIND_ON_PATH finds for NAME."""
    if os.sep in executable:
        beside = os.path.join(os.path.dirname(executable), name)
        if os.path.isfile(beside) and os.access(beside, os.X_OK):
            return beside
    return find_on_path(name)
