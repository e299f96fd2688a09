# -*- coding: utf-8 -*-
# Unit tests of the helpers that turn module options into a varnok call and its output into results.
# Copyright: (c) Corvane AutoCli developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import shutil
import stat
import tempfile
import unittest

from ansible_collections.corvane.varnok.plugins.module_utils.varnok import (
    VarnokArgumentError,
    changes,
    command_line,
    companion_program,
    dispatcher_args,
    effect_of,
    error_message,
    help_line,
    param_args,
    parse_result,
    secret_args_and_input,
)


class ParamArgsTest(unittest.TestCase):
    def test_values_keep_the_mapping_order(self):
        self.assertEqual(param_args({"user": "ann", "limit": 3, "pid": [1, 22], "all": True, "up": False, "x": None}),
                         ["--user=ann", "--limit=3", "--pid=1", "--pid=22", "--all"])

    def test_value_starting_with_a_dash_stays_one_word(self):
        self.assertEqual(param_args({"name": "-rf"}), ["--name=-rf"])

    def test_booleans_in_a_list_are_words(self):
        self.assertEqual(param_args({"flags": [True, False]}), ["--flags=true", "--flags=false"])

    def test_refused_names_and_values(self):
        for params in ({"--user": "x"}, {"": "x"}, {"a b": "x"}, {"user": {"a": 1}}, {"user": [[1]]}, {"user": 1.5}):
            with self.assertRaises(VarnokArgumentError, msg=repr(params)):
                param_args(params)


class SecretsTest(unittest.TestCase):
    def test_each_secret_is_a_bare_option_and_a_line_in_order(self):
        self.assertEqual(secret_args_and_input({"token": "t0k", "pin": "1234"}),
                         (["--token", "--pin"], "t0k\n1234\n"))

    def test_an_empty_secret_is_an_empty_line(self):
        self.assertEqual(secret_args_and_input({"token": ""}), (["--token"], "\n"))

    def test_a_line_break_in_a_secret_is_refused_without_showing_it(self):
        with self.assertRaises(VarnokArgumentError) as caught:
            secret_args_and_input({"token": "abc\ndef"})
        self.assertEqual(str(caught.exception),
                         "secrets.token: a secret is read as one line and cannot hold a line break")


class CommandLineTest(unittest.TestCase):
    def test_order_dispatcher_path_params_then_secrets(self):
        args, stdin = command_line("/opt/varnok", ["shop", "order", "list"], {"since": "2024"}, {"key": "s"},
                                   ["/p1", "/p2"], ["Total > 5", "State == open"], ["-Total", "Id"], 10, dry_run=True)
        self.assertEqual(args, ["/opt/varnok", "--plugin-dir", "/p1", "--plugin-dir", "/p2", "--formatter", "json",
                                "--where=Total > 5", "--where=State == open", "--sort=-Total,Id", "--limit=10",
                                "--dry-run", "shop", "order", "list", "--since=2024", "--key"])
        self.assertEqual(stdin, "s\n")

    def test_secret_values_never_on_the_command_line(self):
        args, stdin = command_line("varnok", ["a", "b"], secrets={"token": "hunter2"})
        self.assertNotIn("hunter2", " ".join(args))
        self.assertEqual(stdin, "hunter2\n")

    def test_path_words_that_are_refused(self):
        for path in ([], ["a", "--help"], ["a", ""], ["a", 3]):
            with self.assertRaises(VarnokArgumentError, msg=repr(path)):
                command_line("varnok", path)

    def test_limit_must_be_an_integer(self):
        for limit in (True, "3", 2.0):
            with self.assertRaises(VarnokArgumentError, msg=repr(limit)):
                dispatcher_args(limit=limit)
        self.assertEqual(dispatcher_args(limit=0), ["--formatter", "json", "--limit=0"])

    def test_help_line_has_no_formatter(self):
        self.assertEqual(help_line("varnok", ["a", "b"], ["/p"]), ["varnok", "--plugin-dir", "/p", "a", "b", "--help"])


class EffectTest(unittest.TestCase):
    HELP = "Usage: varnok a b <options>\n\nDescription: Do it.\n\nEffect: %s\n\n  -h|--help    Show the help message.\n"

    def test_declared_effects(self):
        for effect, changed in (("read", False), ("change", True), ("destroy", True)):
            self.assertEqual(effect_of(self.HELP % effect), effect)
            self.assertEqual(changes(effect), changed)

    def test_no_effect_line_counts_as_a_change(self):
        self.assertIsNone(effect_of("Usage: varnok a b <options>\n\nDescription: Effect: read\n"))
        self.assertTrue(changes(None))


class ErrorMessageTest(unittest.TestCase):
    def test_prompts_and_header_are_dropped(self):
        stderr = "Enter value for 'token': \nErrors: \nUnknown parameter : colour\n  second line\n"
        self.assertEqual(error_message(stderr), "Unknown parameter : colour\nsecond line")

    def test_one_line_error(self):
        self.assertEqual(error_message("varnok: Unable to find a command\n"), "varnok: Unable to find a command")

    def test_standard_output_when_standard_error_is_empty(self):
        self.assertEqual(error_message("", "Usage: varnok fleet\n"), "Usage: varnok fleet")
        self.assertEqual(error_message("", ""), "varnok failed without a message")


class ParseResultTest(unittest.TestCase):
    def test_json_formatter_output(self):
        self.assertEqual(parse_result('\n{\n   "Path": "a\\/b",\n   "Count": 1,\n   "Done": true\n}\n'),
                         {"Path": "a/b", "Count": 1, "Done": True})

    def test_text_is_refused(self):
        with self.assertRaises(ValueError):
            parse_result("Touched:\n   Path: x\n")


class CompanionProgramTest(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.directory)

    def _make(self, name, mode):
        path = os.path.join(self.directory, name)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n")
        os.chmod(path, mode)
        return path

    def test_beside_the_executable(self):
        self._make("varnok", stat.S_IRWXU)
        doc = self._make("varnok-doc", stat.S_IRWXU)
        self.assertEqual(companion_program(os.path.join(self.directory, "varnok"), "varnok-doc", lambda n: "PATH"), doc)

    def test_on_path_when_not_beside_or_not_executable(self):
        self._make("varnok-doc", stat.S_IRUSR)
        self.assertEqual(companion_program(os.path.join(self.directory, "varnok"), "varnok-doc", lambda n: "/p/" + n),
                         "/p/varnok-doc")
        self.assertEqual(companion_program("varnok", "varnok-doc", lambda n: "/p/" + n), "/p/varnok-doc")


if __name__ == "__main__":
    unittest.main()
