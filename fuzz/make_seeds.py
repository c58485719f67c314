#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into FOLDER/<target>/, from the example collection
and the inputs of the tests."""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
out = pathlib.Path(sys.argv[1])
corpus = root / "tests" / "hardening" / "corpus"


def seed(target, name, data):
    folder = out / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))


example = (root / "examples" / "collection.xml").read_bytes().decode("cp1252")
titles = re.findall(r"<DVD>\s*<ProfileTimestamp>.*?\n  </DVD>", example, re.S)
for i, title in enumerate(titles):
    seed("title_import", f"example_{i}.xml", title)
for path in sorted(corpus.glob("*.xml")):
    seed("title_import", path.name, path.read_bytes())

for path in sorted((corpus / "awards").iterdir()):
    if path.suffix == ".txt":
        seed("award_text", path.name, path.read_bytes())
    elif path.suffix == ".xml":
        seed("award_xml", path.name, path.read_bytes())

# Statements as the library and its tests write them.
statements = set()
for source in list((root / "src").rglob("*.cpp")) + list((root / "tests" / "store").glob("*.cpp")):
    for literal in re.findall(r'"((?:SELECT|INSERT|UPDATE|DELETE|CREATE)[^"\\]*(?:\\.[^"\\]*)*)"',
                              source.read_text(errors="replace")):
        statements.add(literal.replace('\\"', '"'))
for i, statement in enumerate(sorted(statements)):
    seed("sql_dialect", f"statement_{i}.sql", statement)

# One byte picks the rule (see value_rules_fuzzer.cpp), the rest is the text.
base = (corpus / "base_title.xml").read_text()
rule_texts = {
    0: re.findall(r'FirstName="([^"]*)" MiddleName="([^"]*)" LastName="([^"]*)"', base),
    2: re.findall(r'FormattedValue="([^"]*)">([^<]*)<', base),
    3: re.findall(r"<(?:Timestamp|LastEdited|ProfileTimestamp)>([^<]*)<", base),
}
count = 0
for rule, found in rule_texts.items():
    for item in found:
        text = " ".join(p for p in item if p) if rule == 0 else (
            item[1] + "|" + item[0] if rule == 2 else item)
        seed("value_rules", f"rule_{count}", bytes([rule]) + text.encode("utf-8"))
        count += 1
for rule, text in [(1, "Ann Lee, Bo Roe and Cy Dee, Jr"), (4, "800004711037.4"),
                   (5, "1,234.50"), (3, "2013-02-11"), (0, "Dr. Mary Ann de la Cruz Jr.")]:
    seed("value_rules", f"rule_{count}", bytes([rule]) + text.encode("utf-8"))
    count += 1
