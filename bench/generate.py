#!/usr/bin/env python3
"""Generates a large host directory for the benchmark, the same bytes for the same seed.

  generate.py large DIR       seven list files of about 20 MB in a few hundred groups, a
                              MovieTitle.txt of 100,000 lines, and the package "Big" with a few
                              thousand entries per category (new groups, overwrites, new names,
                              plain lines already present and new ones)
  generate.py section DIR N   one list of one 100,000-line section and the package "Many" of N
                              entries into it
  generate.py small DIR       typical small lists and the package "Small" of a few entries
"""
import random
import sys
from pathlib import Path

CATEGORIES = [("TextIn", "TextInEffectList.txt"), ("TextStay", "TextStayEffectList.txt"),
              ("TextOut", "TextOutEffectList.txt"), ("Style", "StyleList.txt"),
              ("Adjust", "AdjustList.txt"), ("Tone", "ToneList.txt"), ("Scene", "SceneList.txt")]


def effect_line(rng, name):
    params = ",".join(str(rng.randrange(1000)) for _ in range(rng.randrange(2, 7)))
    return f"{name}:={params}"


def write_list(path, sections):
    with open(path, "wb") as out:
        for lines in sections:
            out.write(b"".join(line.encode() + b"\r\n" for line in lines) + b"\r\n")


def make_section(rng, group, count):
    lines = [f"+{group}"]
    for i in range(count):
        if rng.random() < 0.8:
            lines.append(effect_line(rng, f"{group}Effect{i}"))
        else:
            lines.append(f"Plain effect {group} {i} {rng.randrange(10**6)}")
    return lines


def package_entries(rng, sections, count):
    entries = []
    for i in range(count):
        lines = rng.choice(sections)
        group = lines[0][1:]
        kind = rng.random()
        if kind < 0.1:
            entries.append(f"NewGroup{i % 50}>{effect_line(rng, f'New{i}')}")
        elif kind < 0.5:
            named = [line for line in lines[1:6] + lines[-5:] if ":=" in line] or [lines[0]]
            name = named[rng.randrange(len(named))].split(":=")[0]
            entries.append(f"{group}>{effect_line(rng, name)}")
        elif kind < 0.7:
            entries.append(f"{group}>{effect_line(rng, f'Added{i}')}")
        elif kind < 0.9:
            entries.append(f"{group}>{rng.choice(lines[1:] or lines)}")
        else:
            entries.append(f"{group}>Plain new {i}")
    return entries


def large(directory):
    rng = random.Random(20261210)
    config = ["[Big]"]
    for key, file in CATEGORIES:
        sections = [make_section(rng, f"{key}Group{g}", rng.randrange(1200, 2400))
                    for g in range(300)]
        write_list(directory / file, sections)
        config.append(f"{key}=" + ";".join(package_entries(rng, sections, 3000)))
    config.append("Dir=MovieTitle")
    with open(directory / "MovieTitle.txt", "wb") as out:
        out.write(b"".join(f"TitlePackage{i}\r\n".encode() for i in range(100000)))
    (directory / "ExEffConfig.ini").write_bytes(("\r\n".join(config) + "\r\n").encode())


def one_section(directory, count):
    rng = random.Random(7)
    section = make_section(rng, "Huge", 100000)
    write_list(directory / "SceneList.txt", [section])
    entries = package_entries(rng, [section], count)
    (directory / "ExEffConfig.ini").write_bytes(
        ("[Many]\r\nScene=" + ";".join(entries) + "\r\n").encode())


def small(directory):
    rng = random.Random(3)
    config = ["[Small]"]
    for key, file in CATEGORIES:
        sections = [make_section(rng, f"{key}Group{g}", 20) for g in range(5)]
        write_list(directory / file, sections)
        config.append(f"{key}=" + ";".join(package_entries(rng, sections, 3)))
    (directory / "ExEffConfig.ini").write_bytes(("\r\n".join(config) + "\r\n").encode())


if __name__ == "__main__":
    kind, target = sys.argv[1], Path(sys.argv[2])
    target.mkdir(parents=True, exist_ok=True)
    if kind == "large":
        large(target)
    elif kind == "section":
        one_section(target, int(sys.argv[3]))
    else:
        small(target)
