#!/usr/bin/env python3
"""Holds the operator pages to what the programs do (docs/development.md has the rules).

Usage: check_docs.py SOURCE_DIR BUILD_DIR
"""
import os
import re
import shlex
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

RUN_PAGES = ["README.md", "docs/troubleshooting.md"]
LAUNCHERS = {"sensorvisor-sim", "sensorvisor-exporter-sim"}
REAL_PROGRAMS = {"sensorvisor", "sensorvisor-exporter"}
SERVER_MARK = "# On the server"

src, build = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
failures = []


def fail(message):
    failures.append(message)


def sh_blocks(text):
    """The ```sh blocks as lists of commands (continued lines joined)."""
    for block in re.findall(r"^```sh\n(.*?)^```", text, re.M | re.S):
        yield re.sub(r"\\\n\s*", "", block).splitlines()


def split_comment(line):
    """The command and its trailing comment (a # after a blank, outside quotes)."""
    quote = None
    for i, c in enumerate(line):
        if quote:
            quote = None if c == quote else quote
        elif c in "'\"":
            quote = c
        elif c == "#" and (i == 0 or line[i - 1].isspace()):
            return line[:i].strip(), line[i + 1:]
    return line.strip(), ""


def program_of(command):
    """The program a command runs: its first word after NAME=value and sudo."""
    for word in shlex.split(command):
        if not (re.match(r"\w+=", word) or word == "sudo"):
            return os.path.basename(word)
    return ""


def run(command, comment, scratch, env, where):
    # /tmp first: the source tree itself may lie under /tmp.
    command = re.sub(r"(?<![\w./-])/tmp/", f"{scratch}/tmp/", command)
    command = command.replace("/usr/share/sensorvisor/boards/", f"{src}/boards/")
    endless = "Ctrl-C" in comment
    want = re.search(r"status (\d+)", comment)
    want = int(want.group(1)) if want else 0
    out = scratch / "output"
    with open(out, "wb") as sink:
        process = subprocess.Popen(["bash", "-o", "pipefail", "-c", command], cwd=scratch, env=env,
                                   stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            status = process.wait(timeout=2 if endless else 60)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            if not endless:
                return fail(f"{where}: did not end within 60 s: {command}")
            status = None
    text = out.read_text(errors="replace")
    if endless and status is not None:
        return fail(f"{where}: ended (status {status}) though it should run until Ctrl-C: "
                    f"{command}\n{text[-2000:]}")
    if not endless and status != want:
        return fail(f"{where}: status {status}, the text says {want}: {command}\n{text[-2000:]}")
    for quoted in re.findall(r'"([^"]+)"', comment):
        if quoted not in text:
            fail(f"{where}: the output lacks \"{quoted}\": {command}\n{text[-2000:]}")


def check_commands(page):
    text = (src / page).read_text()
    ran = 0
    with tempfile.TemporaryDirectory(prefix="docs-check.") as scratch:
        scratch = Path(scratch)
        (scratch / "tmp").mkdir()
        (scratch / "bin").mkdir()
        (scratch / "build").symlink_to(build)
        (scratch / "boards").symlink_to(src / "boards")
        for launcher in LAUNCHERS:
            (scratch / "bin" / launcher).symlink_to(build / "tools" / launcher)
        env = dict(os.environ, PATH=f"{scratch}/bin:{os.environ['PATH']}",
                   TMPDIR=str(scratch / "tmp"), HOME=str(scratch))
        for number, block in enumerate(sh_blocks(text), 1):
            server = any(line.startswith(SERVER_MARK) for line in block)
            for line in block:
                command, comment = split_comment(line)
                program = program_of(command) if command else ""
                where = f"{page}, sh block {number}"
                if program in REAL_PROGRAMS and not server:
                    fail(f"{where}: runs the real {program} outside a block marked "
                         f"'{SERVER_MARK}': {command}")
                elif program in LAUNCHERS and not server:
                    run(command, comment, scratch, env, where)
                    ran += 1
    if ran == 0:
        fail(f"{page}: no command of a launcher found to run")


def check_boards():
    bundled = {p.stem for p in (src / "boards").glob("*.json")}
    pages = [src / "README.md", *(src / "docs").glob("*.md"), *(src / "man").iterdir()]
    for page in pages:
        text = page.read_text().replace("\\-", "-")
        for name in re.findall(r"(?<![\w/.-])(?:/usr/share/sensorvisor/)?boards/([\w-]+)\.json",
                               text):
            if name not in bundled:
                fail(f"{page.relative_to(src)} names boards/{name}.json, which does not exist")
    man = (src / "man/sensorvisor-sim.1").read_text().replace("\\-", "-")
    listings = [("docs/boards.md", r"`([\w-]+)\.json`", (src / "docs/boards.md").read_text()),
                ("man/sensorvisor-sim.1", r"\b([\w-]+)\.json\b",
                 man.split(".SH BUNDLED BOARDS", 1)[-1].split("\n.SH ", 1)[0])]
    for listing, pattern, text in listings:
        listed = set(re.findall(pattern, text))
        for name in sorted(bundled - listed):
            fail(f"{listing} does not list the bundled board {name}.json")
        for name in sorted(listed - bundled):
            fail(f"{listing} lists {name}.json, which is not a bundled board")


def check_index():
    readme = (src / "README.md").read_text()
    index = readme.split("\n## Documentation\n", 1)[-1].split("\n## ", 1)[0]
    for page in sorted((src / "docs").glob("*.md")):
        if f"(docs/{page.name})" not in index:
            fail(f"the README's Documentation section does not link docs/{page.name}")


def check_manual_pages():
    env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
    for page in sorted((src / "man").iterdir()):
        result = subprocess.run(["man", "--warnings", "-l", str(page)], env=env,
                                capture_output=True, text=True)
        if result.returncode != 0 or result.stderr:
            fail(f"man --warnings -l {page.name}: status {result.returncode}\n{result.stderr}")


for page in RUN_PAGES:
    check_commands(page)
check_boards()
check_index()
check_manual_pages()
print("\n\n".join(failures) or "the documentation holds")
sys.exit(1 if failures else 0)
