#!/usr/bin/env python3
"""The winget manifests of a release: written by scripts/release.sh, checked offline.

    winget.py write OUTDIR VERSION SETUP_EXE INSTALLER_URL RELEASE_DATE
        writes the version, installer and default-locale manifests of VERSION for the one Setup
        that serves x64 and x86 Windows
    winget.py check DIR VERSION SHA256SUMS
        validates the three manifests in DIR against the schemas of manifest version 1.12.0, then
        what a schema cannot know: every manifest names VERSION, the installer hash is Setup's line
        in SHA256SUMS, the x64 and x86 entries name the same file, and Setup's own limits (machine
        scope, no arm64, no choice of folder) are declared

The schemas are read from $PELMORA_WINGET_SCHEMAS/1.12.0, by default from shared/winget-schemas
beside the repository. When they are not there, check ends with exit code 77 and says why.
Needs Debian's python3-yaml and python3-jsonschema.
"""

import hashlib
import json
import os
import sys

SYSTEM_PYTHON = "/usr/bin/python3"
try:
    import jsonschema
    import yaml
except ImportError:
    if os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON) and os.path.exists(SYSTEM_PYTHON):
        # Another interpreter (pyenv, a venv) without Debian's packages: use the system's.
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)
    sys.exit("winget: python3-yaml and python3-jsonschema are missing (see scripts/setup.sh)")

MANIFEST_VERSION = "1.12.0"
IDENTIFIER = "Pelmora.Pelmora"
PUBLISHER = "Pelmora"
LOCALE = "en-US"
# The licence as the repository publishes it; PELMORA_HOMEPAGE moves it with the project's page.
LICENSE_URL = os.environ.get("PELMORA_HOMEPAGE", "https://github.com/pelmora/pelmora") + "/blob/HEAD/LICENSE"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SKIPPED = 77


def file_names():
    return {"version": IDENTIFIER + ".yaml", "installer": IDENTIFIER + ".installer.yaml",
            "defaultLocale": "%s.locale.%s.yaml" % (IDENTIFIER, LOCALE)}


def setup_name(version):
    return "Pelmora-%s-Setup.exe" % version


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest().upper()


def manifests(version, setup_hash, url, date):
    common = {"PackageIdentifier": IDENTIFIER, "PackageVersion": version}
    # Setup picks the x64 or the x86 build itself; winget offers the same file for both.
    installers = [{"Architecture": arch, "InstallerUrl": url, "InstallerSha256": setup_hash}
                  for arch in ("x64", "x86")]
    return {
        "version": dict(common, DefaultLocale=LOCALE),
        "installer": dict(
            common,
            InstallerType="nullsoft",
            Scope="machine",
            InstallModes=["interactive", "silent"],
            InstallerSwitches={"Silent": "/S", "SilentWithProgress": "/S"},
            # Setup refuses Windows on ARM (its Explorer cannot load the extension), and the
            # program must live in Program Files\\Pelmora, where the extension starts it.
            UnsupportedOSArchitectures=["arm64"],
            UnsupportedArguments=["location"],
            ElevationRequirement="elevatesSelf",
            UpgradeBehavior="install",
            Commands=["pelmora-cli"],
            ExpectedReturnCodes=[{"InstallerReturnCode": 216, "ReturnResponse": "systemNotSupported"}],
            ProductCode="Pelmora",
            AppsAndFeaturesEntries=[{"DisplayName": "Pelmora", "Publisher": PUBLISHER,
                                     "DisplayVersion": version, "ProductCode": "Pelmora"}],
            ReleaseDate=date,
            Installers=installers),
        "defaultLocale": dict(
            common,
            PackageLocale=LOCALE,
            Publisher=PUBLISHER,
            PackageName="Pelmora",
            License="MIT",
            LicenseUrl=LICENSE_URL,
            ShortDescription="A task list for every file and folder in Windows Explorer",
            Description="Right-click an item in Explorer, choose \"Task Management...\", and keep a "
                        "to-do list for it; an icon overlay shows how far the list is done. "
                        "Includes pelmora-cli for the same lists from a terminal.",
            Tags=["tasks", "todo", "explorer"]),
    }


def write(outdir, version, setup, url, date):
    os.makedirs(outdir, exist_ok=True)
    names = file_names()
    for kind, content in manifests(version, sha256(setup), url, date).items():
        content = dict(content, ManifestType=kind, ManifestVersion=MANIFEST_VERSION)
        schema = "https://aka.ms/winget-manifest.%s.%s.schema.json" % (kind, MANIFEST_VERSION)
        with open(os.path.join(outdir, names[kind]), "w", encoding="utf-8", newline="\n") as f:
            f.write("# yaml-language-server: $schema=%s\n" % schema)
            yaml.safe_dump(content, f, sort_keys=False, allow_unicode=True, width=100)


class ManifestLoader(yaml.SafeLoader):
    """YAML as winget reads it: a date is text, not a date object."""


ManifestLoader.yaml_implicit_resolvers = {
    first: [(tag, regexp) for tag, regexp in resolvers if tag != "tag:yaml.org,2002:timestamp"]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()}


def schema_dir():
    base = os.environ.get("PELMORA_WINGET_SCHEMAS") or os.path.join(ROOT, "..", "shared", "winget-schemas")
    return os.path.normpath(os.path.join(base, MANIFEST_VERSION))


def check(directory, version, sums):
    schemas = schema_dir()
    if not os.path.isdir(schemas):
        print("SKIPPED: no winget schemas in %s (set PELMORA_WINGET_SCHEMAS to the folder holding %s/)"
              % (schemas, MANIFEST_VERSION))
        return SKIPPED
    problems = []
    loaded = {}
    for kind, name in file_names().items():
        path = os.path.join(directory, name)
        try:
            with open(path, encoding="utf-8") as f:
                loaded[kind] = yaml.load(f, Loader=ManifestLoader)
            with open(os.path.join(schemas, "manifest.%s.%s.json" % (kind, MANIFEST_VERSION))) as f:
                schema = json.load(f)
        except (OSError, yaml.YAMLError) as error:
            problems.append("%s: %s" % (name, error))
            continue
        validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())
        for error in sorted(validator.iter_errors(loaded[kind]), key=str):
            where = "/".join(str(p) for p in error.absolute_path) or "(top)"
            problems.append("%s: %s: %s" % (name, where, error.message))
        if loaded[kind].get("ManifestType") != kind:
            problems.append("%s: ManifestType %r, not %r" % (name, loaded[kind].get("ManifestType"), kind))
        if loaded[kind].get("PackageVersion") != version:
            problems.append("%s: PackageVersion %r, not the project version %s"
                            % (name, loaded[kind].get("PackageVersion"), version))
        if loaded[kind].get("PackageIdentifier") != IDENTIFIER:
            problems.append("%s: PackageIdentifier %r, not %s" % (name, loaded[kind].get("PackageIdentifier"),
                                                                  IDENTIFIER))
    if "installer" in loaded:
        problems += check_installer(loaded["installer"], version, sums)
    if "version" in loaded and "defaultLocale" in loaded and \
            loaded["version"].get("DefaultLocale") != loaded["defaultLocale"].get("PackageLocale"):
        problems.append("the version manifest's DefaultLocale is not the locale manifest's PackageLocale")
    for problem in problems:
        print("FAIL " + problem)
    if not problems:
        print("ok   %s: the three manifests of %s are valid and match SHA256SUMS" % (directory, version))
    return 1 if problems else 0


def check_installer(manifest, version, sums):
    problems = []
    setup = setup_name(version)
    expected = None
    with open(sums, encoding="utf-8") as f:
        for line in f:
            # sha256sum writes "DIGEST  NAME", or "DIGEST *NAME" in binary mode (-b, and on Windows).
            digest, _, name = line.rstrip("\n").partition(" ")
            if name[:1] in (" ", "*") and name[1:] == setup:
                expected = digest.upper()
    if expected is None:
        problems.append("SHA256SUMS has no line for %s" % setup)
    entries = {entry.get("Architecture"): entry for entry in manifest.get("Installers") or []}
    if set(entries) != {"x64", "x86"}:
        problems.append("installer entries for %s, not for x64 and x86" % sorted(map(str, entries)))
    urls = {entry.get("InstallerUrl") for entry in entries.values()}
    hashes = {str(entry.get("InstallerSha256", "")).upper() for entry in entries.values()}
    if len(urls) != 1 or len(hashes) != 1:
        problems.append("the architecture entries name different files (%s)" % ", ".join(sorted(map(str, urls))))
    if any(not str(url).endswith("/" + setup) for url in urls):
        problems.append("an installer URL does not end with /%s" % setup)
    if expected is not None and hashes != {expected}:
        problems.append("InstallerSha256 %s, but SHA256SUMS gives %s for %s"
                        % (", ".join(sorted(hashes)), expected, setup))
    declared = {"InstallerType": "nullsoft", "Scope": "machine"}
    for key, value in declared.items():
        if manifest.get(key) != value:
            problems.append("%s %r, not %r" % (key, manifest.get(key), value))
    if "arm64" not in (manifest.get("UnsupportedOSArchitectures") or []):
        problems.append("arm64 is not declared unsupported, but Setup refuses it")
    if "location" not in (manifest.get("UnsupportedArguments") or []):
        problems.append("--location is not declared unsupported, but the folder is fixed")
    for entry in manifest.get("AppsAndFeaturesEntries") or []:
        if entry.get("DisplayVersion") != version:
            problems.append("AppsAndFeaturesEntries DisplayVersion %r, not %s" % (entry.get("DisplayVersion"), version))
    return problems


def main(argv):
    if len(argv) == 7 and argv[1] == "write":
        write(*argv[2:])
        return 0
    if len(argv) == 5 and argv[1] == "check":
        return check(*argv[2:])
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
