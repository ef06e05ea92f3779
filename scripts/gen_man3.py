#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a manual page in section 3 for every function of include/tabulix.h,
from the comment block above its declaration, into docs/man3/NAME.3.

The first sentence of a comment is the page's NAME line; its text is the
DESCRIPTION, where a blank comment line starts a paragraph and a line
starting "- " an item of a list; "@param NAME text" lines become the list of
arguments and "@return text" the RETURN VALUE. The note that opens a part of
the header (a plain comment after a "---- part ----" line) is added to the
page of each function of that part, and SEE ALSO names the other functions of
the part. The date and the version come from docs/libtabulix.3, which is
updated at each release.

    python3 scripts/gen_man3.py           rewrite docs/man3/ from the header
    python3 scripts/gen_man3.py --check   fail when docs/man3/ differs from what
                                          the header gives, or when a name of
                                          src/tabulix.sym has no page
"""

import argparse
import os
import re
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

DECLARATION = re.compile(
    r"TBLX_API\s+(?P<ret>[^;]*?)\s*TBLX_CALL\s+(?P<name>\w+)\s*\((?P<params>[^)]*)\)\s*TBLX_NOEXCEPT\s*;",
    re.S)
PART = re.compile(r"/\* ---- (?P<title>.*?) -+ \*/")


# The function types of the header (callbacks): name -> (typedef, comment).
CALLBACKS = {}


class Function:
    def __init__(self, name, ret, params, comment, part, part_note):
        self.name = name
        self.ret = ret
        self.params = params  # [(type, name)]
        self.comment = comment  # lines without the " * " prefix
        self.part = part
        self.part_note = part_note


def comment_lines(block):
    """The lines of a /** ... */ block without the comment marks."""
    lines = []
    for line in block.split("\n"):
        line = line.strip()
        if line.startswith("/**"):
            line = line[3:]
        if line.endswith("*/"):
            line = line[:-2]
        line = line.strip()
        if line.startswith("*"):
            line = line[1:]
            if line.startswith(" "):
                line = line[1:]
        lines.append(line.rstrip())
    while lines and not lines[0]:
        lines.pop(0)
    while lines and not lines[-1]:
        lines.pop()
    return lines


def split_params(text):
    params = []
    text = " ".join(text.split())
    if text in ("", "void"):
        return params
    for param in text.split(","):
        m = re.match(r"(.*?)(\w+)$", param.strip())
        params.append((m.group(1).strip(), m.group(2)))
    return params


def read_header(path):
    with open(path, encoding="utf-8") as f:
        source = f.read()
    functions = []
    part, part_note = "", []
    # The header in order: parts, their notes, doc comments and declarations.
    token = re.compile(r"/\*\*.*?\*/|/\*.*?\*/|TBLX_API[^;]*;|typedef[^;]*;", re.S)
    pending = None
    for m in token.finditer(source):
        text = m.group(0)
        part_match = PART.fullmatch(text)
        if part_match:
            part, part_note, pending = part_match.group("title"), [], None
            continue
        if text.startswith("/**"):
            pending = comment_lines(text)
            continue
        if text.startswith("/*"):
            # A plain comment right after a part's title is its note.
            between = source[source.rfind("*/", 0, m.start()) + 2:m.start()]
            if between.strip() == "" and not part_note and part:
                part_note = comment_lines("/**" + text[2:])
            pending = None
            continue
        callback = re.match(r"typedef .*\(TBLX_CALL\s*\*\s*(\w+)\)", text, re.S)
        if callback and pending is not None:
            CALLBACKS[callback.group(1)] = (" ".join(text.split()), pending)
        decl = DECLARATION.match(text)
        if decl and pending is not None:
            ret = " ".join(decl.group("ret").split())
            functions.append(Function(decl.group("name"), ret, split_params(decl.group("params")),
                                      pending, part, part_note))
        pending = None
    return functions


# ---- roff ------------------------------------------------------------------------

def escape(text):
    """Running text as roff: escapes, non-ASCII as \\[uXXXX], names in bold."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![A-Za-z0-9_])-", r"\\-", text)
    text = "".join(c if ord(c) < 128 else f"\\[u{ord(c):04X}]" for c in text)
    text = re.sub(r"\b((?:tblx|TBLX)_\w+|free_column|free_row)\b", r"\\fB\1\\fP", text)
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def escape_plain(text):
    """A declaration as roff, without bold names inside it."""
    text = " ".join(text.split()).replace("\\", "\\e")
    return re.sub(r"(?<![A-Za-z0-9_])-", r"\\-", text)


def first_sentence(lines):
    text = " ".join(lines).strip()
    m = re.match(r"(.+?\.)(\s|$)", text)
    sentence = m.group(1) if m else text
    sentence = sentence.rstrip(".")
    sentence = re.sub(r"\s*\(.*\)$", "", sentence) if len(sentence) > 70 else sentence
    return sentence[0].lower() + sentence[1:]


def sections_of(comment):
    """Description lines, [(param, lines)], return lines."""
    description, params, returns = [], [], []
    current = description
    for line in comment:
        m = re.match(r"@param\s+(\w+)\s*(.*)", line)
        if m:
            params.append((m.group(1), [m.group(2)]))
            current = params[-1][1]
            continue
        m = re.match(r"@return\s*(.*)", line)
        if m:
            returns.append(m.group(1))
            current = returns
            continue
        if current is description:
            description.append(line)
        else:
            current.append(line.strip())
    return description, params, returns


def paragraphs(lines):
    """Roff for description lines: paragraphs and "- " lists."""
    out = []
    in_item = False
    for line in lines:
        if not line:
            out.append(".PP")
            in_item = False
        elif line.startswith("- "):
            out.append(".IP \\(bu 2")
            out.append(escape(line[2:]))
            in_item = True
        elif in_item and line.startswith("  "):
            out.append(escape(line.strip()))
        else:
            if in_item:
                out.append(".PP")
                in_item = False
            out.append(escape(line))
    while out and out[0] == ".PP":
        out.pop(0)
    return out


def synopsis(f):
    """The declaration, the types in bold and the argument names in italics,
    its arguments on further lines, under the first, where it would be long."""
    ret = re.sub(r"\s*\*\s*", " *", f.ret).strip()
    head = f"{ret}{f.name}(" if ret.endswith("*") else f"{ret} {f.name}("
    if not f.params:
        return [f'.B "{head}void);"']
    args = []
    for ptype, pname in f.params:
        ptype = re.sub(r"\s*\*\s*", " *", ptype).strip()
        args.append((ptype if ptype.endswith("*") else ptype + " ", pname))
    one_line = len(head) + sum(len(t) + len(n) + 2 for t, n in args)
    lines, line = [], f'.BI "{head}'
    for i, (typ, name) in enumerate(args):
        if i > 0 and one_line > 78:
            lines.append(line + " ,")
            line = f'.BI "{" " * len(head)}'
        elif i > 0:
            line += ' ", '
        line += f'{typ}" {name}'
    lines.append(line + " );")
    return lines


def page(f, functions, date, source):
    description, params, returns = sections_of(f.comment)
    out = [
        ".\\\" SPDX-License-Identifier: MIT",
        ".\\\" Made by scripts/gen_man3.py from the comments of include/tabulix.h: do not edit.",
        f'.TH {f.name.upper()} 3 "{date}" "{source}" "Library Functions Manual"',
        ".nh",
        ".ad l",
        ".SH NAME",
        f"{f.name} \\- {escape(first_sentence(description_head(description)))}",
        ".SH LIBRARY",
        "libtabulix",
        ".RI ( \\-ltabulix )",
        ".SH SYNOPSIS",
        ".nf",
        ".B #include <tabulix.h>",
        ".PP",
        *synopsis(f),
        ".fi",
        ".SH DESCRIPTION",
        *paragraphs(description),
    ]
    if params:
        out.append(".PP")
        out.append("Arguments:")
        for name, lines in params:
            out += [".TP", f".I {name}", escape(" ".join(x for x in lines if x))]
    for ptype, _ in f.params:
        if ptype in CALLBACKS:
            typedef, comment = CALLBACKS[ptype]
            text, cb_params, cb_returns = sections_of(comment)
            out += [".SS " + ptype, ".nf", ".B " + escape_plain(typedef.replace("TBLX_CALL", "")
                                                               .replace("(* ", "(*")), ".fi"]
            out += paragraphs(text)
            for name, lines in cb_params:
                out += [".TP", f".I {name}", escape(" ".join(x for x in lines if x))]
            if cb_returns:
                out += [".TP", "Returns", escape(" ".join(x for x in cb_returns if x))]
            out.append(".PP")
    if f.part_note:
        out.append(".PP")
        out += paragraphs(f.part_note)
    if returns:
        out += [".SH RETURN VALUE", escape(" ".join(x for x in returns if x))]
    related = [g.name for g in functions if g.part == f.part and g.name != f.name]
    out.append(".SH SEE ALSO")
    refs = [("libtabulix", "3")] + [(name, "3") for name in related]
    for i, (name, sec) in enumerate(refs):
        out.append(f".BR {name} ({sec}){',' if i + 1 < len(refs) else ''}")
    # One paragraph mark between blocks, none at the start of a section.
    tidy = []
    for line in out:
        if line == ".PP" and (not tidy or tidy[-1] == ".PP" or tidy[-1].startswith(".SH")):
            continue
        if line.startswith(".SH") and tidy and tidy[-1] == ".PP":
            tidy.pop()
        tidy.append(line)
    return "\n".join(tidy) + "\n"


def description_head(description):
    """The lines of the first paragraph."""
    head = []
    for line in description:
        if not line:
            break
        head.append(line)
    return head


def release_of(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r'\.TH \S+ \d+ "([^"]*)" "([^"]*)"', line)
            if m:
                return m.group(1), m.group(2)
    raise SystemExit(f"{path}: no .TH line")


def exported_names(path):
    names = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith(("#", "[")):
                names.append(line)
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with docs/man3/ instead of writing it")
    parser.add_argument("--top", default=TOP, help="the top directory of the sources")
    args = parser.parse_args()
    header = os.path.join(args.top, "include", "tabulix.h")
    out_dir = os.path.join(args.top, "docs", "man3")
    date, source = release_of(os.path.join(args.top, "docs", "libtabulix.3"))
    functions = read_header(header)
    pages = {f"{f.name}.3": page(f, functions, date, source) for f in functions}

    problems = []
    documented = {f.name for f in functions}
    for name in exported_names(os.path.join(args.top, "src", "tabulix.sym")):
        if name not in documented:
            problems.append(f"{name} is exported (src/tabulix.sym) but has no comment block "
                            "above its declaration in include/tabulix.h, so no manual page")
    if args.check:
        present = set(os.listdir(out_dir)) if os.path.isdir(out_dir) else set()
        for name, text in sorted(pages.items()):
            path = os.path.join(out_dir, name)
            if name not in present:
                problems.append(f"docs/man3/{name} is missing")
            else:
                with open(path, encoding="utf-8") as f:
                    if f.read() != text:
                        problems.append(f"docs/man3/{name} differs from the header's comments")
        for name in sorted(present - set(pages)):
            problems.append(f"docs/man3/{name} documents no function of the header")
        if problems:
            print("\n".join(problems), file=sys.stderr)
            print("run python3 scripts/gen_man3.py to write the pages", file=sys.stderr)
            return 1
        print(f"docs/man3/ holds the {len(pages)} pages of the header's functions")
        return 0
    os.makedirs(out_dir, exist_ok=True)
    for name in os.listdir(out_dir):
        if name not in pages:
            os.remove(os.path.join(out_dir, name))
    for name, text in pages.items():
        with open(os.path.join(out_dir, name), "w", encoding="utf-8") as f:
            f.write(text)
    if problems:
        print("\n".join(problems), file=sys.stderr)
        return 1
    print(f"wrote {len(pages)} pages to docs/man3/")
    return 0


if __name__ == "__main__":
    sys.exit(main())
