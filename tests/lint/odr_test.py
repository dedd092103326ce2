#!/usr/bin/env python3
"""The one-definition rule across the program's sources.

Two different types of the same name in two source files (a private helper
struct that was not put in an anonymous namespace) make the program undefined
without any error from an ordinary build. GCC sees it only when it links the
whole program at once: every library source is compiled again as LTO bytecode,
with the flags of the build (compile_commands.json), and linked with -Wodr as an
error. Usage: odr_test.py <build dir>
"""
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys
import tempfile

FOLDERS = ("app/", "common/", "display/", "processing/", "input/", "exchange/", "plot/", "window/")


def main() -> int:
    build = os.path.abspath(sys.argv[1])
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    source_dir = os.path.dirname(os.path.abspath(os.path.dirname(__file__)))
    source_dir = os.path.dirname(source_dir)
    chosen = {}
    for e in entries:
        relative = os.path.relpath(e["file"], source_dir)
        if relative.startswith(FOLDERS) and relative not in chosen:
            chosen[relative] = e
    if not chosen:
        print("FAIL: no library sources in compile_commands.json")
        return 1
    with tempfile.TemporaryDirectory() as tmp:
        def compile_one(item):
            index, (relative, e) = item
            args = shlex.split(e["command"]) if "command" in e else list(e["arguments"])
            if args and args[0].endswith("ccache"):
                args = args[1:]
            out = os.path.join(tmp, f"{index}.o")
            if "-o" in args:
                args[args.index("-o") + 1] = out
            args += ["-O0", "-g0", "-flto", "-fno-fat-lto-objects", "-w"]
            done = subprocess.run(args, cwd=e["directory"], capture_output=True, text=True)
            return relative, out, done
        objects = []
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for relative, out, done in pool.map(compile_one, enumerate(sorted(chosen.items()))):
                if done.returncode != 0:
                    print(f"FAIL: {relative} did not compile:\n{done.stderr}")
                    return 1
                objects.append(out)
        compiler = shlex.split(entries[0]["command"])[0] if "command" in entries[0] else entries[0]["arguments"][0]
        if compiler.endswith("ccache"):
            compiler = shlex.split(entries[0]["command"])[1]
        link = subprocess.run([compiler, "-flto=2", "-r", "-nostdlib", "-Werror=odr", "-Wodr", "-o",
                               os.path.join(tmp, "all.o"), *objects], capture_output=True, text=True)
        if "One Definition Rule" in link.stderr or link.returncode != 0:
            print("FAIL: the sources break the one-definition rule:\n" + link.stderr)
            return 1
    print(f"odr: {len(chosen)} sources, no type defined twice")
    return 0


if __name__ == "__main__":
    sys.exit(main())
