#!/usr/bin/python3
"""The READMEs' commands (README.md, then bench/README.md), run as written, in their order, from
the top of a scratch copy of the sources in which build/release is the build under test: as a
reader runs them after the two commands that open the README. A command of a sh block ends
with status 0 (talvo-batch may end with 1: rows with an error are written and counted); a
python block runs in Debian's python3; each "$ " line of a transcript prints the lines that
follow it.
Usage: readme_commands.py SOURCE_DIR BUILD_DIR"""

import difflib
import re
import shutil
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field
from pathlib import Path

# What is not run, and why. Each entry must still match a command, so that none outlives it.
SKIPS = [
    (r"^\./scripts/(run|test|web)\.sh", "the README's own first commands: install, build, start"),
    (r"^scripts/install-deps\.sh|^sudo apt", "installs Debian packages: root and the network"),
    (r"^cmake --preset|^cd build/release && cpack",
     "a build of its own, minutes of compiling: the build under test stands in for it"),
    (r"^bench/(compare|same_answers)\.sh",
     "two builds side by side: minutes of building and running"),
    (r"^scripts/(analyse|valgrind)\.sh|^FUZZ_SECONDS=", "a hardening stage, run by .ci/run"),
    (r"sbatch", "needs a Slurm cluster"),
    (r"--depths 0-5cm", "reads SoilGrids' layers, which a reader downloads"),
    (r"^talvo-batch ", "the installed talvo-batch on a table of the reader's own"),
]

READMES = ["README.md", "bench/README.md"]

# The worked examples' folder, made private to this run so that runs side by side never meet.
SHARED_FOLDER = "/tmp/soils"


@dataclass
class Command:
    file: str  # one of READMES
    line: int
    kind: str  # "sh", "python" or "transcript"
    text: str
    expected: list = field(default_factory=list)  # a transcript's lines


def shell_commands(file, first_line, lines):
    """The commands of a sh block: continued lines joined, comment lines left out."""
    commands, pending, start = [], "", first_line
    for number, line in enumerate(lines, first_line):
        if not pending:
            start = number
            if not line.strip() or line.lstrip().startswith("#"):
                continue
        if line.endswith("\\"):
            pending += line + "\n"
            continue
        commands.append(Command(file, start, "sh", pending + line))
        pending = ""
    return commands


def transcript_commands(file, first_line, lines):
    commands = []
    for number, line in enumerate(lines, first_line):
        if line.startswith("$ "):
            commands.append(Command(file, number, "transcript", line[2:]))
        elif commands:
            commands[-1].expected.append(line)
    return commands


def readme_commands(source, file):
    """Every command of a README's fenced blocks, in order."""
    commands, fence, body = [], None, []
    for number, line in enumerate((source / file).read_text(encoding="utf-8").splitlines(), 1):
        if fence is None:
            if line.startswith("```"):
                fence, body = (number + 1, line[3:].strip()), []
            continue
        if not line.startswith("```"):
            body.append(line)
            continue
        first, info = fence
        if info in ("sh", "bash"):
            commands += shell_commands(file, first, body)
        elif info == "python":
            commands.append(Command(file, first, "python", "\n".join(body)))
        elif not info:
            commands += transcript_commands(file, first, body)
        fence = None
    return commands


def skip_reason(command):
    for pattern, reason in SKIPS:
        if re.search(pattern, command.text, re.MULTILINE):
            return pattern, reason
    return None, None


def script(commands, results):
    """One bash session for all, so that an export or a made file carries to what follows."""
    parts = ["set -o pipefail"]
    for number, command in enumerate(commands):
        text = command.text.replace(SHARED_FOLDER, str(results.parent / "soils"))
        if command.kind == "python":
            text = f"/usr/bin/python3 - <<'README_PYTHON'\n{text}\nREADME_PYTHON"
        parts.append(f"{{ {text}\n}} >{results}/{number} 2>&1 </dev/null; "
                     f"echo $? >{results}/{number}.status")
    return "\n".join(parts) + "\n"


def check(command, status, output):
    """What is wrong with a command's outcome, or None."""
    allowed = {0, 1} if "talvo-batch" in command.text and command.kind != "python" else {0}
    if status not in allowed:
        return f"status {status}"
    if command.kind == "transcript" and output.splitlines() != command.expected:
        return "printed otherwise than the README shows:\n" + "\n".join(difflib.unified_diff(
            command.expected, output.splitlines(), command.file, "printed", lineterm=""))
    return None


def copy_sources(source, scratch, build):
    skipped = {source / "build", source / ".git", source / "tests/web/node_modules"}
    shutil.copytree(source, scratch, symlinks=True,
                    ignore=lambda folder, names: [n for n in names if Path(folder, n) in skipped])
    (scratch / "build").mkdir()
    (scratch / "build/release").symlink_to(build)


def run_all(commands, source, build):
    """Each command's status (-1: never reached) and what it printed."""
    with tempfile.TemporaryDirectory(prefix="talvo-readme-") as work:
        work = Path(work)
        copy_sources(source, work / "clone", build)
        results = work / "results"
        results.mkdir()
        try:
            subprocess.run(["bash", "-c", script(commands, results)], cwd=work / "clone",
                           check=False, timeout=300)
        except subprocess.TimeoutExpired:
            print("the READMEs' commands still running after 300 s: stopped", file=sys.stderr)
        outcomes = []
        for number in range(len(commands)):
            status, output = results / f"{number}.status", results / str(number)
            outcomes.append((int(status.read_text()) if status.exists() else -1,
                             output.read_text(errors="replace") if output.exists() else ""))
        return outcomes


def main():
    source, build = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    used, run = set(), []
    for command in (c for file in READMES for c in readme_commands(source, file)):
        pattern, reason = skip_reason(command)
        if pattern:
            used.add(pattern)
            print(f"{command.file}:{command.line}: skipped, {reason}: "
                  f"{command.text.splitlines()[0]}")
        else:
            run.append(command)
    failures = [f"skip {p!r} matches no command" for p, _ in SKIPS if p not in used]
    if not run:
        failures.append("no command found in the READMEs")
    for command, (status, output) in zip(run, run_all(run, source, build)):
        fault = check(command, status, output)
        print(f"{command.file}:{command.line}: {'FAILED' if fault else 'ok'}: "
              f"{command.text.splitlines()[0]}")
        if fault:
            failures.append(f"{command.file}:{command.line}: {fault}\n{command.text}\n"
                            f"--- printed:\n{output}")
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
