#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs the examples of the documents and compares what they print with the
text the documents show, byte for byte (trailing blanks included).

It reads README.md and docs/*.md. Every fenced block names its kind after the
opening fence, and the kind decides what is checked:

  console   Lines starting with "$ " are commands, run by sh in the top
            directory with the built tabulix first on PATH, standard error
            merged into standard output, not on a terminal. The lines up to
            the next "$ " line are the exact output of that command.
  c, cpp    A whole program (it has "main(") is compiled against the library
            and run; the next fenced block, of kind "text", is its exact
            output. A part of a program follows a line
                <!-- example: examples/docs/name.c -->
            and must appear in that file, in order (indentation aside); a
            line that starts "/* ..." or "// ..." stands for lines left
            out. The file is compiled and run, and the next fenced block,
            of kind "text", is its exact output (a part without an output
            block after it only has to build and run).
  text      Output; it must belong to the c or cpp block before it.
  sh, cmake Commands or code that print nothing shown; not run.

The design notes (docs/design.md) must name every source file of src/ (as
`src/NAME`) and of tools/tabulix/ (as `NAME`), and every source file they
name must exist.

A block run by a test of its own follows a line
    <!-- checked by TEST -->
and the text block after it is that test's business too.

A block that cannot be run (an install into the system, a command whose
output depends on the machine) follows a line
    <!-- not checked: why -->
and is left alone whatever its kind. Every other block must have one of the
kinds above.

Usage: check_docs.py --top DIR --tabulix PATH --library PATH [--cc CC]
                     [--cxx CXX] [--flags FLAGS] [--work DIR] [--update] [FILE...]
With --update, the output lines of every console block are rewritten from
what its commands print now (the programs are still compared).
"""

import argparse
import glob
import os
import re
import shlex
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^( *)```([A-Za-z0-9+_-]*)\s*$")
EXAMPLE = re.compile(r"^\s*<!-- example: (\S+) -->\s*$")
NOT_CHECKED = re.compile(r"^\s*<!-- not checked: .+ -->\s*$")
CHECKED_BY = re.compile(r"^\s*<!-- checked by (\S+) -->\s*$")
ELISION = re.compile(r"^\s*(/\* \.\.\.|// \.\.\.)")
UNRUN_KINDS = {"sh", "cmake"}


class Block:
    def __init__(self, path, line, kind, lines, marker, indent):
        self.path = path
        self.line = line  # of the opening fence, from 1
        self.indent = indent
        self.kind = kind
        self.lines = lines  # without line ends, the fence's indent removed
        self.marker = marker  # the marker line just before the fence, or None

    def where(self):
        return f"{self.path}:{self.line}"

    def text(self):
        return "".join(line + "\n" for line in self.lines)


def read_blocks(path):
    """The fenced blocks of a Markdown file, with the marker before each."""
    blocks = []
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        indent, kind = len(m.group(1)), m.group(2)
        start = i
        body = []
        i += 1
        while i < len(lines) and lines[i].strip() != "```":
            body.append(lines[i][indent:] if lines[i][:indent].strip() == "" else lines[i])
            i += 1
        if i == len(lines):
            raise SystemExit(f"{path}:{start + 1}: the block is never closed")
        j = start - 1
        while j >= 0 and lines[j].strip() == "":
            j -= 1
        marker = lines[j] if j >= 0 and lines[j].strip().startswith("<!--") else None
        blocks.append(Block(path, start + 1, kind, body, marker, indent))
        i += 1
    return blocks


def diff_text(expected, actual):
    """The first differing line, shown so that trailing blanks are visible."""
    exp, act = expected.split("\n"), actual.split("\n")
    for n, (e, a) in enumerate(zip(exp, act)):
        if e != a:
            return f"line {n + 1}: shown {e!r}\n          printed {a!r}"
    return f"shown {len(exp) - 1} lines, printed {len(act) - 1}:\n{actual}"


class Checker:
    def __init__(self, args):
        self.args = args
        self.failures = []
        self.checked = 0
        self.builds = {}
        self.updates = []  # (console block, what its commands print), with --update
        self.work = args.work or tempfile.mkdtemp(prefix="check_docs.")
        os.makedirs(self.work, exist_ok=True)

    def fail(self, block, message):
        self.failures.append(f"{block.where()}: {message}")

    def compare(self, block, expected, actual, what):
        self.checked += 1
        if expected != actual:
            self.fail(block, f"{what} prints another text than shown\n  {diff_text(expected, actual)}")

    # ---- commands ----------------------------------------------------------

    def run_console(self, block):
        commands = []  # (command, expected output lines)
        for line in block.lines:
            if line.startswith("$ "):
                commands.append((line[2:], []))
            elif commands:
                commands[-1][1].append(line)
            else:
                self.fail(block, f"output before the first command: {line!r}")
                return
        env = dict(os.environ)
        env["PATH"] = os.path.dirname(os.path.abspath(self.args.tabulix)) + os.pathsep + env["PATH"]
        env.pop("NO_COLOR", None)
        env.pop("COLUMNS", None)
        env["LC_ALL"] = "C.UTF-8"
        printed = []
        for command, output in commands:
            result = subprocess.run(["sh", "-c", command], cwd=self.args.top, env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT)
            actual = result.stdout.decode("utf-8", "replace")
            printed.append("$ " + command + "\n" + actual)
            if not self.args.update:
                self.compare(block, "".join(line + "\n" for line in output), actual,
                             f"`{command}`")
        if self.args.update:
            self.updates.append((block, "".join(printed)))

    # ---- programs ------------------------------------------------------------

    def build(self, block, source_name, source_text):
        """Compiles and links a program; its path, or None after a failure."""
        key = (source_name, source_text)
        if key in self.builds:
            return self.builds[key]
        n = len(self.builds)
        is_c = source_name.endswith(".c")
        src = os.path.join(self.work, f"doc{n}{'.c' if is_c else '.cpp'}")
        exe = os.path.join(self.work, f"doc{n}")
        with open(src, "w", encoding="utf-8") as f:
            f.write(source_text)
        include = os.path.join(self.args.top, "include")
        flags = shlex.split(self.args.flags)
        library = os.path.abspath(self.args.library)
        rpath = [f"-Wl,-rpath,{os.path.dirname(library)}"]
        if is_c:
            obj = exe + ".o"
            steps = [[self.args.cc, "-std=c99", "-Wall", "-Wextra", "-Werror", *flags, "-I", include,
                      "-c", src, "-o", obj],
                     [self.args.cxx, *flags, obj, library, *rpath, "-o", exe]]
        else:
            steps = [[self.args.cxx, "-std=c++17", "-Wall", "-Wextra", "-Werror", *flags, "-I",
                      include, src, library, *rpath, "-o", exe]]
        for step in steps:
            result = subprocess.run(step, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if result.returncode != 0:
                self.fail(block, f"{source_name} does not build:\n{result.stdout.decode()}")
                self.builds[key] = None
                return None
        self.builds[key] = exe
        return exe

    def run_program(self, block, source_name, source_text, output_block):
        exe = self.build(block, source_name, source_text)
        if exe is None:
            return
        result = subprocess.run([exe], cwd=self.args.top, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if result.returncode != 0:
            self.fail(block, f"{source_name} exits with {result.returncode}: "
                      f"{result.stderr.decode('utf-8', 'replace')}")
            return
        if output_block is None:
            self.checked += 1
            return
        self.compare(output_block, output_block.text(), result.stdout.decode("utf-8", "replace"),
                     source_name)

    def excerpt_in_file(self, block, path):
        """Whether every run of lines between elisions appears in the file in order."""
        with open(os.path.join(self.args.top, path), encoding="utf-8") as f:
            file_lines = [line.lstrip() for line in f.read().split("\n")]
        runs, current = [], []
        for line in block.lines:
            if ELISION.match(line):
                if current:
                    runs.append(current)
                current = []
            else:
                current.append(line.lstrip())
        if current:
            runs.append(current)
        at = 0
        for run in runs:
            found = next((i for i in range(at, len(file_lines) - len(run) + 1)
                          if file_lines[i:i + len(run)] == run), None)
            if found is None:
                self.fail(block, f"these lines are not in {path} (after line {at}):\n  "
                          + "\n  ".join(run))
                return False
            at = found + len(run)
        self.checked += 1
        return True

    # ---- one document ------------------------------------------------------

    def write_updates(self, path):
        """Puts what the commands printed into the console blocks of the file."""
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        for block, printed in sorted(self.updates, key=lambda u: -u[0].line):
            pad = " " * block.indent
            body = [pad + line if line else line for line in printed.split("\n")[:-1]]
            lines[block.line:block.line + len(block.lines)] = body
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        self.updates = []

    def check(self, path):
        blocks = read_blocks(path)
        owned = set()  # indices of output blocks that belong to a program
        for i, block in enumerate(blocks):
            if block.marker and NOT_CHECKED.match(block.marker):
                owned.add(i)
                continue
            if block.marker and CHECKED_BY.match(block.marker):
                # A test of its own runs it (the C++ guide's examples are
                # printed three ways by CppGuide): its output is owned too.
                owned.update((i, i + 1))
                continue
            nxt = blocks[i + 1] if i + 1 < len(blocks) else None
            output = nxt if nxt is not None and nxt.kind == "text" else None
            if output is not None and block.kind in ("c", "cpp"):
                owned.add(i + 1)
            example = EXAMPLE.match(block.marker) if block.marker else None
            if block.kind == "console":
                self.run_console(block)
            elif block.kind in ("c", "cpp") and example:
                name = example.group(1)
                if not os.path.exists(os.path.join(self.args.top, name)):
                    self.fail(block, f"{name} does not exist")
                elif self.excerpt_in_file(block, name):
                    with open(os.path.join(self.args.top, name), encoding="utf-8") as f:
                        self.run_program(block, name, f.read(), output)
            elif block.kind in ("c", "cpp") and any("main(" in line for line in block.lines):
                if output is None:
                    self.fail(block, "a program without a text block after it for its output")
                else:
                    self.run_program(block, f"{path}:{block.line}.{block.kind}", block.text(),
                                     output)
            elif block.kind in ("c", "cpp"):
                self.fail(block, "a part of a program needs <!-- example: FILE --> before it")
            elif block.kind == "text":
                if i not in owned:
                    self.fail(block, "output that no c or cpp block before it prints")
            elif block.kind not in UNRUN_KINDS:
                self.fail(block, f"unknown block kind {block.kind!r} (console, c, cpp, text, "
                          "sh, cmake, or <!-- not checked: why --> before it)")


SOURCE_NAME = re.compile(r"`((?:[\w.-]+/)*[\w.-]+\.(?:cpp|hpp|h|c|py|cmake|sym))`")


def check_design_notes(top, path):
    """The design notes name every source file of the library and the command,
    and every source file they name exists: a file added, moved or removed
    shows up here until the notes say where it belongs."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    problems = []
    for directory, prefix in (("src", "src/"), (os.path.join("tools", "tabulix"), "")):
        for name in sorted(os.listdir(os.path.join(top, directory))):
            if name.endswith((".cpp", ".hpp", ".h")) and f"`{prefix}{name}`" not in text:
                problems.append(f"{path}: {directory}/{name} is not named (as `{prefix}{name}`)")
    for name in sorted(set(SOURCE_NAME.findall(text))):
        places = [name, os.path.join("src", name), os.path.join("tools", "tabulix", name)]
        if not any(os.path.exists(os.path.join(top, p)) for p in places):
            problems.append(f"{path}: `{name}` names no file of the sources")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--top", required=True, help="the top directory of the sources")
    parser.add_argument("--tabulix", required=True, help="the built tabulix command")
    parser.add_argument("--library", required=True, help="the built library to link with")
    parser.add_argument("--cc", default="cc")
    parser.add_argument("--cxx", default="c++")
    parser.add_argument("--flags", default="", help="more compiler and linker flags")
    parser.add_argument("--work", help="directory for the programs built")
    parser.add_argument("--update", action="store_true",
                        help="write what the commands print into the console blocks instead of "
                        "comparing (review the difference before committing it)")
    parser.add_argument("files", nargs="*", help="documents (default: README.md and docs/*.md)")
    args = parser.parse_args()
    files = args.files or [os.path.join(args.top, "README.md")] + sorted(
        glob.glob(os.path.join(args.top, "docs", "*.md")))
    checker = Checker(args)
    for path in files:
        checker.check(path)
        if args.update:
            checker.write_updates(path)
    for path in files:
        if os.path.basename(path) == "design.md":
            checker.failures += check_design_notes(args.top, path)
    for failure in checker.failures:
        print(failure, file=sys.stderr)
    names = ", ".join(os.path.relpath(f, args.top) for f in files)
    if checker.failures:
        print(f"{len(checker.failures)} failures in {names}", file=sys.stderr)
        return 1
    print(f"{checker.checked} examples shown in {names} print what they show")
    return 0


if __name__ == "__main__":
    sys.exit(main())
