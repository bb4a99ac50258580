#!/usr/bin/env python3
"""Writes the demo directory: demo/directory.ldif (schema with the newer console
generation's "RK:Harbex File Transfer" type, trees CorpTree and LabTree) and
demo/directory-oldconsole.ldif (same schema without that type, a smaller CorpTree).
The same two trees also go out in the classes other directories use:
demo/directory-standard.ldif in Debian's standard OpenLDAP schemas (core,
cosine, inetorgperson, nis), as a server's export without a schema entry, and
demo/directory-ad.ldif in Active Directory's classes for scripts/ad-demo, its
DNs ending in the placeholder @DOMAIN@ that stands for the domain's DN.

The output is deterministic (fixed seed, no dependence on hashing or the clock), so
running it again reproduces the committed files byte for byte. Edit this script,
not the LDIF.

Every IPX node is 12 upper-case hex digits and unique, and so is every IP
address, so that a user's address names one workstation. The random IP addresses
have three-digit octets after the first (10.1xx.1xx.1xx); two fixed workstations in
Acme/IT, WS118 at 10.101.140.50 and WS119 at 10.101.140.5, show that the lookup
matches whole addresses: the user ProkschW at 10.101.140.5 is at WS119, although
WS118's address begins with his. LOCALHOST in Acme/IT at 127.0.0.1 is this machine,
where a login published by hand with tolvane-logon lands.

Usage: scripts/gen-demo-directory.py [output-folder]   (default: demo/)
"""

import base64
import os
import random
import sys
from collections import namedtuple

SEED = 20240311
OID = "1.3.6.1.4.1.99999"
DSTRING = "1.3.6.1.4.1.1466.115.121.1.15"
DN_SYNTAX = "1.3.6.1.4.1.1466.115.121.1.12"
IA5 = "1.3.6.1.4.1.1466.115.121.1.26"
GTIME = "1.3.6.1.4.1.1466.115.121.1.24"
PHONE = "1.3.6.1.4.1.1466.115.121.1.50"
OID_SYNTAX = "1.3.6.1.4.1.1466.115.121.1.38"
PRINTABLE = "1.3.6.1.4.1.1466.115.121.1.44"
AT_DESC = "1.3.6.1.4.1.1466.115.121.1.3"
OC_DESC = "1.3.6.1.4.1.1466.115.121.1.37"

# ---------------------------------------------------------------- schema

# (oid, name, desc, syntax, extra fields, directory name or None)
ATTRIBUTE_TYPES = [
    ("2.5.4.0", "objectClass", "object classes of the entry", OID_SYNTAX,
     "EQUALITY objectIdentifierMatch", None),
    ("2.5.21.5", "attributeTypes", "attribute type descriptions", AT_DESC,
     "EQUALITY objectIdentifierFirstComponentMatch USAGE directoryOperation", None),
    ("2.5.21.6", "objectClasses", "object class descriptions", OC_DESC,
     "EQUALITY objectIdentifierFirstComponentMatch USAGE directoryOperation", None),
    ("2.5.4.1", "aliasedObjectName", "name of the object an alias stands for", DN_SYNTAX,
     "EQUALITY distinguishedNameMatch SINGLE-VALUE", "Aliased Object Name"),
    ("0.9.2342.19200300.100.1.25", "dc", "domain component naming a tree", IA5,
     "EQUALITY caseIgnoreIA5Match SINGLE-VALUE", None),
    ("2.5.4.6", "c", "two-letter country code", "1.3.6.1.4.1.1466.115.121.1.11",
     "EQUALITY caseIgnoreMatch SINGLE-VALUE", "Country Name"),
    ("2.5.4.10", "o", "organization name", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Organization Name"),
    ("2.5.4.11", "ou", "organizational unit name", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Organizational Unit Name"),
    ("2.5.4.3", "cn", "common name: the name of the object itself", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "CN"),
    ("2.5.4.4", "surname", "family name", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Surname"),
    ("2.5.4.42", "givenName", "first name", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Given Name"),
    (OID + ".1.1", "fullName", "name as it is written in full", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Full Name"),
    ("2.5.4.12", "title", "job title", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Title"),
    (OID + ".1.2", "department", "department the user works for", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Department"),
    ("2.5.4.20", "telephoneNumber", "telephone number", PHONE,
     "EQUALITY telephoneNumberMatch SUBSTR telephoneNumberSubstringsMatch",
     "Telephone Number"),
    ("0.9.2342.19200300.100.1.3", "mail", "internet e-mail address", IA5,
     "EQUALITY caseIgnoreIA5Match SUBSTR caseIgnoreIA5SubstringsMatch",
     "Internet EMail Address"),
    ("2.5.4.13", "description", "free text", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Description"),
    ("2.5.4.7", "l", "location: site, building, room", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", "Location"),
    (OID + ".1.3", "loginTime", "time of the last login", GTIME,
     "EQUALITY generalizedTimeMatch ORDERING generalizedTimeOrderingMatch SINGLE-VALUE",
     "Login Time"),
    (OID + ".1.4", "networkAddress",
     "addresses of the workstations the user is logged in at", PRINTABLE,
     "EQUALITY caseIgnoreMatch", "Network Address"),
    (OID + ".1.5", "rjNetworkAddress", "network addresses of the workstation", PRINTABLE,
     "EQUALITY caseIgnoreMatch", "RJ:Network Address"),
    (OID + ".1.6", "rkHarbexFileTransfer",
     "file transfer settings of the remote-management agent", DSTRING,
     "EQUALITY caseIgnoreMatch SINGLE-VALUE", "RK:Harbex File Transfer"),
    (OID + ".1.7", "operator", "user responsible for the workstation", DN_SYNTAX,
     "EQUALITY distinguishedNameMatch", "Operator"),
    ("0.9.2342.19200300.100.1.1", "uid", "login name in other systems", DSTRING,
     "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch", None),
]

NEWER_CONSOLE_ONLY = {"rkHarbexFileTransfer"}

USER_MAY = ["givenName", "fullName", "title", "department", "telephoneNumber", "mail",
            "description", "l", "loginTime", "networkAddress", "uid"]
WORKSTATION_MAY = ["description", "l", "operator", "rjNetworkAddress",
                   "rkHarbexFileTransfer"]

# (oid, name, desc, sup, kind, must, may, directory name or None)
OBJECT_CLASSES = [
    ("2.5.6.0", "top", "root of every object class", None, "ABSTRACT",
     ["objectClass"], [], None),
    ("2.5.20.1", "subschema", "holder of the schema", None, "AUXILIARY",
     [], ["attributeTypes", "objectClasses"], None),
    (OID + ".2.5", "ktrTree", "root of a directory tree", "top", "STRUCTURAL",
     ["dc"], ["description"], "Tree"),
    ("2.5.6.2", "country", "country container", "top", "STRUCTURAL",
     ["c"], ["description"], "Country"),
    ("2.5.6.4", "organization", "organization container", "top", "STRUCTURAL",
     ["o"], ["description", "l", "telephoneNumber"], "Organization"),
    ("2.5.6.5", "organizationalUnit", "organizational unit container", "top",
     "STRUCTURAL", ["ou"], ["description", "l", "telephoneNumber"],
     "Organizational Unit"),
    ("2.5.6.1", "alias", "another name for an object elsewhere in the tree", "top",
     "STRUCTURAL", ["cn", "aliasedObjectName"], ["description"], "Alias"),
    (OID + ".2.1", "ktrUser", "a person who logs in to the network", "top",
     "STRUCTURAL", ["cn", "surname"], USER_MAY, "User"),
    (OID + ".2.2", "ktrWorkstation", "a workstation registered in the directory", "top",
     "STRUCTURAL", ["cn"], WORKSTATION_MAY, "Workstation"),
]


def oids(names):
    if len(names) == 1:
        return names[0]
    return "( " + " $ ".join(names) + " )"


def qd(text):
    """A qdstring: the few texts here must not need RFC 4512 escapes."""
    assert "'" not in text and "\\" not in text, text
    return f"'{text}'"


def schema_values(newer_console):
    ats = []
    for oid, name, desc, syntax, extra, ktr in ATTRIBUTE_TYPES:
        if not newer_console and name in NEWER_CONSOLE_ONLY:
            continue
        # RFC 4512 field order: EQUALITY/ORDERING/SUBSTR come before SYNTAX,
        # SINGLE-VALUE and USAGE after it.
        before = [w for w in split_fields(extra) if not w.startswith(("SINGLE", "USAGE"))]
        after = [w for w in split_fields(extra) if w.startswith(("SINGLE", "USAGE"))]
        text = f"( {oid} NAME {qd(name)} DESC {qd(desc)}"
        for f in before:
            text += " " + f
        text += f" SYNTAX {syntax}"
        for f in after:
            text += " " + f
        if ktr:
            text += f" X-KTR-NAME {qd(ktr)}"
        ats.append(text + " )")
    ocs = []
    for oid, name, desc, sup, kind, must, may, ktr in OBJECT_CLASSES:
        if not newer_console:
            may = [m for m in may if m not in NEWER_CONSOLE_ONLY]
        text = f"( {oid} NAME {qd(name)} DESC {qd(desc)}"
        if sup:
            text += f" SUP {sup}"
        text += f" {kind}"
        if must:
            text += f" MUST {oids(must)}"
        if may:
            text += f" MAY {oids(may)}"
        if ktr:
            text += f" X-KTR-NAME {qd(ktr)}"
        ocs.append(text + " )")
    return ats, ocs


def split_fields(extra):
    """Splits "EQUALITY x SUBSTR y SINGLE-VALUE" into ["EQUALITY x", "SUBSTR y", ...]."""
    words = extra.split()
    fields = []
    i = 0
    while i < len(words):
        if words[i] in ("SINGLE-VALUE", "COLLECTIVE", "NO-USER-MODIFICATION"):
            fields.append(words[i])
            i += 1
        else:
            fields.append(words[i] + " " + words[i + 1])
            i += 2
    return fields


# ---------------------------------------------------------------- LDIF output


def is_safe(value):
    """RFC 2849 SAFE-STRING; anything else goes out base64-encoded."""
    if value == "":
        return True
    if value[0] in " :<" or value[-1] == " ":
        return False
    return all(0 < ord(ch) < 128 and ch not in "\r\n" for ch in value)


def fold(line, width=76):
    """Folds a long line. Text is broken before a blank where there is one, so the
    continuation starts with the fold's blank followed by the text's own blank;
    base64 and other unbroken text is cut at the width."""
    out = []
    room = width
    while len(line) > room:
        cut = line.rfind(" ", room // 2, room)
        if cut <= 0:
            cut = room
        out.append(line[:cut])
        line = line[cut:]
        room = width - 1
    out.append(line)
    return "\n ".join(out)


def attr_line(name, value):
    if is_safe(value):
        return fold(f"{name}: {value}")
    return fold(f"{name}:: {base64.b64encode(value.encode('utf-8')).decode('ascii')}")


class Entry:
    def __init__(self, dn, classes, attrs):
        self.dn = dn
        self.classes = classes
        self.attrs = attrs  # list of (name, value), in output order

    def ldif(self):
        lines = [attr_line("dn", self.dn)]
        lines += [attr_line("objectClass", c) for c in ["top"] + self.classes]
        lines += [attr_line(n, v) for n, v in self.attrs if v is not None]
        return "\n".join(lines) + "\n"


# ---------------------------------------------------------------- people

GIVEN = [
    "Anneke", "Birgit", "Carla", "Dorota", "Elif", "Fenja", "Greta", "Hanne", "Ines",
    "Jana", "Katja", "Lene", "Maren", "Nadia", "Oksana", "Petra", "Rosa", "Sabine",
    "Tanja", "Ulrike", "Wiebke", "Yasmin", "Zofia", "Aiko", "Mei", "Priyanka", "Leonie",
    "Emine", "Agnieszka", "Chiara", "Ingrid", "Svenja", "Jördis", "Solveig", "Bernd",
    "Carsten", "Dirk", "Emre", "Fabian", "Gregor", "Henrik", "Ivo", "Jonte", "Kai",
    "Lasse", "Malte", "Nils", "Ole", "Pavel", "Rafael", "Sven", "Tobias", "Uwe",
    "Viktor", "Wolfram", "Yusuf", "Arjun", "Kenta", "Tomasz", "Matteo", "Jürgen",
    "Sören", "Thorsten", "Dominik", "Marek", "Hakan", "Björn", "Enno",
]

SURNAMES = [
    "Schmidt", "Schulz", "Schneider", "Scholz", "Schuster", "Schreiber", "Becker",
    "Brandl", "Dietrich", "Ebert", "Falk", "Gruber", "Hahn", "Hoffmann", "Jansen",
    "Kaiser", "Keller", "König", "Krause", "Lange", "Lorenz", "Maier", "Möller",
    "Neumann", "Ortmann", "Peters", "Quast", "Richter", "Roth", "Sommer", "Stein",
    "Thiel", "Vogt", "Wagner", "Weiß", "Winter", "Yilmaz", "Zimmer", "Kowalczyk",
    "Bianchi", "Horvat", "Andersen", "Nilsen", "Virtanen", "Tanaka", "Sato", "Chen",
    "Nguyen", "Sharma", "Mensah", "Costa", "Moreno", "Dubois", "Janssens", "Kaya",
    "Demir", "Petrov", "Haugen", "Lindgren", "Brenner", "Albrecht", "Fuchs", "Seidel",
    "Hauser", "Pohl", "Engel", "Kuhn", "Busch", "Arslan", "Oyelaran", "Rautio",
]

# Surnames of users that exist once, on purpose; the random pool never uses them.
RESERVED_PREFIXES = ("Mil", "Voss", "Okafor", "Lindqvist", "Brandau", "Admin", "Proksch",
                     "Ferreira", "Novak")

TITLES = {
    "Sales": ["Account Manager", "Sales Representative", "Key Account Manager",
              "Sales Assistant"],
    "Marketing": ["Marketing Specialist", "Content Editor", "Product Marketing Manager"],
    "Finance": ["Accountant", "Controller", "Accounts Payable Clerk"],
    "HR": ["HR Generalist", "Recruiter", "Payroll Specialist"],
    "IT": ["System Administrator", "Network Engineer", "IT Architect"],
    "Helpdesk": ["Helpdesk Technician", "Service Desk Agent"],
    "Production": ["Shift Supervisor", "Machine Operator", "Quality Inspector",
                   "Maintenance Technician"],
    "Nordwerk": ["Dispatcher", "Warehouse Clerk", "Fleet Coordinator", "Customs Agent",
                 "Branch Manager"],
}

USER_NOTES = [
    "Works part-time (mornings).", "Deputy of the team lead.", "First-aid officer.",
    "Trainee until end of year.", "Fire warden for the second floor.",
    "Back from parental leave.", "Also covers the front desk on Fridays.",
    "Works from home on Mondays.", "Member of the works council.",
    "Contractor; account expires at the end of the project.",
    "Zuständig für Lieferantenstammdaten.", "Schwerbehindertenvertretung.",
]

WS_NOTES = [
    "Desktop PC", "Desktop PC, dual monitor", "Laptop in docking station",
    "Shop floor terminal", "CAD workstation", "Thin client",
    "Reception desk", "Meeting room PC", "Shared PC, several shifts",
]

OUIS = ["00A0C9", "0060B0", "00805F", "0020AF", "00C04F", "0050BA", "080009", "00E029"]


def ascii_fold(text):
    for a, b in (("ä", "ae"), ("ö", "oe"), ("ü", "ue"), ("Ä", "Ae"), ("Ö", "Oe"),
                 ("Ü", "Ue"), ("ß", "ss"), ("é", "e"), ("ø", "o")):
        text = text.replace(a, b)
    return text


# ---------------------------------------------------------------- model


# Where a container's objects are: IPX network, first three octets of its IP
# addresses, telephone prefix, mail domain, location text and the TITLES group.
Site = namedtuple("Site", "net ip phone domain location titles")


def acme(net, ip, location, titles):
    return Site(net, ip, "+44 113 496 0", "acme.example", location, titles)


class Container:
    def __init__(self, path, rdn, kind, users, workstations, ws_names, site, attrs=(),
                 ws_note=None, ws_kinds=None):
        self.path = path          # relative names from the tree root down
        self.rdn = rdn            # e.g. "ou=Sales"
        self.kind = kind          # country / organization / organizationalUnit
        self.users = users        # how many random users
        self.workstations = workstations
        self.ws_names = ws_names  # callable(index) -> workstation name
        self.site = site
        self.attrs = list(attrs)
        self.ws_note = ws_note    # description of all its workstations, else random
        self.ws_kinds = ws_kinds or {}  # workstation name -> its address kinds


class Tree:
    def __init__(self, name, description=None):
        self.name = name
        self.suffix = f"dc={name}"
        self.entries = []       # in output order, the root first
        if description:
            self.entries.append(Entry(self.suffix, ["ktrTree"],
                                      [("dc", name), ("description", description)]))
        self.aliases = []       # written after everything else of the tree
        self.ws_by_name = {}    # cn -> (dn, addresses, entry)
        self.users_by_cn = {}   # cn -> dn
        self.users = []         # (container path, dn)
        self.rdns = {}          # container path -> its RDN


class Generator:
    def __init__(self):
        self.rnd = random.Random(SEED)
        self.nodes = set()
        self.ips = set()
        self.user_cns = set()

    def node(self):
        while True:
            n = self.rnd.choice(OUIS) + "%06X" % self.rnd.randrange(0x000100, 0xFFFFFF)
            if n not in self.nodes:
                self.nodes.add(n)
                return n

    def ip(self, prefix):
        while True:
            ip = f"{prefix}.{self.rnd.randrange(100, 250)}"
            if ip not in self.ips:
                self.ips.add(ip)
                return ip

    def addresses(self, site, kinds):
        return [f"IPX {site.net}:{self.node()}:4003" if k == "IPX"
                else f"TCP {self.ip(site.ip)}" for k in kinds]

    def random_person(self):
        while True:
            given = self.rnd.choice(GIVEN)
            surname = self.rnd.choice(SURNAMES)
            if surname.startswith(RESERVED_PREFIXES):
                continue
            cn = ascii_fold(surname) + ascii_fold(given)[0]
            if cn in self.user_cns:
                cn = ascii_fold(surname) + ascii_fold(given)[:2]
            if cn in self.user_cns:
                continue
            self.user_cns.add(cn)
            return cn, given, surname

    def login_time(self, recent):
        if recent:
            day = self.rnd.randrange(11, 16)
            month = 3
        else:
            day = self.rnd.randrange(1, 28)
            month = self.rnd.randrange(1, 3)
        return "2024%02d%02d%02d%02d%02dZ" % (month, day, self.rnd.randrange(6, 19),
                                               self.rnd.randrange(60), self.rnd.randrange(60))


def dn_of(tree, path):
    rdns = [tree.rdns[tuple(path[:i + 1])] for i in range(len(path))]
    return ",".join(reversed(rdns)) + "," + tree.suffix


def add_container(tree, c):
    tree.rdns[tuple(c.path)] = c.rdn
    attrs = [(c.rdn.split("=")[0], c.rdn.split("=")[1])] + c.attrs
    tree.entries.append(Entry(dn_of(tree, c.path), [c.kind], attrs))


def add_workstations(gen, tree, c, count):
    """Returns the workstations of the container as (cn, dn, addresses)."""
    made = []
    for i in range(count):
        cn = c.ws_names(i)
        roll = gen.rnd.random()
        kinds = ["IPX"] if roll < 0.5 else ["TCP"] if roll < 0.75 else ["IPX", "TCP"]
        kinds = c.ws_kinds.get(cn, kinds)
        made.append(make_workstation(gen, tree, c, cn, kinds, c.ws_note))
    return made


def make_workstation(gen, tree, c, cn, kinds, note=None, addrs=None):
    """A workstation with addresses of the given kinds, or with the given addresses."""
    dn = f"cn={cn}," + dn_of(tree, c.path)
    if addrs is None:
        addrs = gen.addresses(c.site, kinds)
    else:
        gen.ips.update(a.split(" ", 1)[1] for a in addrs if a.startswith("TCP "))
    attrs = [("cn", cn), ("description", note or gen.rnd.choice(WS_NOTES)),
             ("l", f"{c.site.location}, room {gen.rnd.randrange(1, 4)}."
                   f"{gen.rnd.randrange(1, 40):02d}")]
    attrs += [("rjNetworkAddress", a) for a in addrs]
    entry = Entry(dn, ["ktrWorkstation"], attrs)
    tree.entries.append(entry)
    tree.ws_by_name[cn] = (dn, addrs, entry)
    return cn, dn, addrs


def make_user(gen, tree, c, cn, given, surname, addresses, note=None, title=None,
              phone=None):
    """A user; given None makes an account without a person behind it."""
    dn = f"cn={cn}," + dn_of(tree, c.path)
    site = c.site
    person = given is not None
    mailname = ascii_fold(given).lower() + "." + ascii_fold(surname).lower() if person \
        else cn.lower()
    units = [p for p in c.path[1:] if p not in ("Nordwerk",)] or c.path
    logged_in = bool(addresses)
    attrs = [("cn", cn), ("surname", surname), ("givenName", given),
             ("fullName", f"{given} {surname}" if person else surname),
             ("title", title or gen.rnd.choice(TITLES[site.titles])),
             ("department", " / ".join(units)),
             ("telephoneNumber", phone or f"{site.phone}{gen.rnd.randrange(100, 999)}"),
             ("mail", f"{mailname}@{site.domain}"),
             ("description", note),
             ("l", site.location),
             ("loginTime", gen.login_time(logged_in)
              if logged_in or gen.rnd.random() < 0.7 else None)]
    attrs += [("networkAddress", a) for a in addresses]
    attrs.append(("uid", (ascii_fold(given)[0] + ascii_fold(surname)).lower() if person
                  else cn.lower()))
    tree.entries.append(Entry(dn, ["ktrUser"], attrs))
    tree.users_by_cn[cn] = dn
    tree.users.append((tuple(c.path), dn))
    return dn


def fill_random_users(gen, tree, c, count, pools):
    """Random users of a container: about 4 in 10 nowhere, the rest at one
    workstation, one in 8 at two. Workstations are taken from the first pool that
    still has free ones, so that no two users share a workstation."""
    for _ in range(count):
        cn, given, surname = gen.random_person()
        roll = gen.rnd.random()
        n = 0 if roll < 0.4 else 2 if roll > 0.875 else 1
        addrs = []
        for _ in range(n):
            pool = next((p for p in pools if p), None)
            if pool is None:
                break
            ws = pool.pop(gen.rnd.randrange(len(pool)))
            addrs.append(gen.rnd.choice(ws[2]))
        note = gen.rnd.choice(USER_NOTES) if gen.rnd.random() < 0.3 else None
        make_user(gen, tree, c, cn, given, surname, addrs, note=note)


def set_operators(gen, tree, containers, workstations):
    """A user of the same container looks after some of its workstations."""
    users_of = {}
    for path, dn in tree.users:
        users_of.setdefault(path, []).append(dn)
    for c, ws_list in zip(containers, workstations):
        users = users_of.get(tuple(c.path))
        for ws in ws_list:
            if users and gen.rnd.random() < 0.3:
                entry = tree.ws_by_name[ws[0]][2]
                entry.attrs.insert(3, ("operator", gen.rnd.choice(users)))


# ---------------------------------------------------------------- trees

def ws_range(first, prefix="WS"):
    return lambda i: f"{prefix}{first + i:03d}"


def build_corp(gen):
    tree = Tree("CorpTree", "Production tree of Acme and Nordwerk")
    nw = Site("00004A01", "10.120.101", "+49 40 5550 ", "nordwerk.example",
              "Hamburg, Speicherweg 12", "Nordwerk")
    muc = Site("00004B01", "10.121.101", "+49 89 5550 ", "nordwerk.example",
               "München, Werkstraße 88", "Nordwerk")

    C = Container
    containers = [
        C(["DE"], "c=DE", "country", 0, 0, None, None,
          [("description", "Deutschland")]),
        C(["DE", "Nordwerk"], "o=Nordwerk", "organization", 0, 0, None, nw,
          [("description", "Nordwerk Logistik GmbH, Tochter der Acme-Gruppe"),
           ("l", "Hamburg")]),
        C(["DE", "Nordwerk", "Hamburg"], "ou=Hamburg", "organizationalUnit", 22, 26,
          ws_range(1, "HH-WS"), nw),
        # Users only: the management works at Hamburg PCs.
        C(["DE", "Nordwerk", "Management"], "ou=Management", "organizationalUnit", 4, 0,
          None, nw, [("description", "Geschäftsführung und Stabsstellen der Nordwerk "
                              "Logistik GmbH, Hamburg und München")]),
        C(["DE", "Nordwerk", "Munich"], "ou=Munich", "organizationalUnit", 14, 22,
          ws_range(1, "MUC-WS"), muc, [("l", "München")]),
        C(["Acme"], "o=Acme", "organization", 0, 1, lambda i: "RECEPTION01",
          acme("0000AC01", "10.101.100", "Leeds, Building A", "Sales"),
          [("description", "Acme Industries Ltd., head office"), ("l", "Leeds"),
           ("telephoneNumber", "+44 113 496 0000")]),
        C(["Acme", "Sales"], "ou=Sales", "organizationalUnit", 11, 14, ws_range(30),
          acme("0000AC10", "10.101.110", "Leeds, Building A", "Sales"),
          [("description", "Sales, head office")], ws_kinds={"WS042": ["IPX", "TCP"]}),
        C(["Acme", "Sales", "North"], "ou=North", "organizationalUnit", 8, 10,
          ws_range(50), acme("0000AC11", "10.101.111", "Newcastle office", "Sales"),
          [("description", "Sales region north")]),
        C(["Acme", "Sales", "South"], "ou=South", "organizationalUnit", 8, 10,
          ws_range(60), acme("0000AC12", "10.101.112", "Bristol office", "Sales"),
          [("description", "Sales region south")]),
        C(["Acme", "Marketing"], "ou=Marketing", "organizationalUnit", 12, 12,
          ws_range(70), acme("0000AC01", "10.101.120", "Leeds, Building B",
                             "Marketing")),
        C(["Acme", "Finance"], "ou=Finance", "organizationalUnit", 10, 12, ws_range(90),
          acme("0000AC01", "10.101.130", "Leeds, Building A", "Finance")),
        # Users only: HR staff work at Finance and Marketing PCs.
        C(["Acme", "HR"], "ou=HR", "organizationalUnit", 8, 0, None,
          acme("0000AC01", "10.101.130", "Leeds, Building A", "HR"),
          [("description", "Human resources; no workstations of its own")]),
        C(["Acme", "IT"], "ou=IT", "organizationalUnit", 7, 8, ws_range(110),
          acme("0000AC20", "10.101.140", "Leeds, Building C", "IT")),
        C(["Acme", "IT", "Servers"], "ou=Servers", "organizationalUnit", 0, 6,
          ws_range(1, "ADM-CON"), acme("0000AC20", "10.101.141",
                                       "Leeds, Building C, server room", "IT"),
          [("description", "Administration consoles in the server room")],
          ws_note="Administration console"),
        C(["Acme", "IT", "Helpdesk"], "ou=Helpdesk", "organizationalUnit", 6, 16,
          ws_range(120), acme("0000AC20", "10.101.142", "Leeds, Building C",
                              "Helpdesk")),
        C(["Acme", "Production"], "ou=Production", "organizationalUnit", 4, 6,
          ws_range(140), acme("0000AC30", "10.101.150", "Leeds, Plant 1",
                              "Production")),
        C(["Acme", "Production", "Plant1"], "ou=Plant1", "organizationalUnit", 10, 18,
          ws_range(150), acme("0000AC31", "10.101.151", "Leeds, Plant 1",
                              "Production")),
        C(["Acme", "Production", "Plant1", "Assembly"], "ou=Assembly",
          "organizationalUnit", 12, 36, ws_range(170),
          acme("0000AC32", "10.101.152", "Leeds, Plant 1, hall 3", "Production"),
          [("description", "Assembly lines 1 to 4, three shifts")]),
        C(["Acme", "Archive"], "ou=Archive", "organizationalUnit", 0, 0, None, None,
          [("description", "Left empty: former subsidiary, objects removed")]),
    ]
    by_path = {tuple(c.path): c for c in containers}

    # Containers and workstations first, so that users can be placed at them.
    free = {}
    all_ws = []
    for c in containers:
        add_container(tree, c)
        ws = add_workstations(gen, tree, c, c.workstations)
        free[tuple(c.path)] = list(ws)
        all_ws.append(ws)

    # Fixed users with a known login situation, used in the README.
    sales = by_path[("Acme", "Sales")]
    it = by_path[("Acme", "IT")]
    north = by_path[("Acme", "Sales", "North")]
    servers = by_path[("Acme", "IT", "Servers")]

    def take(path, cn):
        pool = free[path]
        for i, ws in enumerate(pool):
            if ws[0] == cn:
                return pool.pop(i)
        raise SystemExit(f"workstation {cn} missing")

    def take_kind(path, kind):
        pool = free[path]
        for i, ws in enumerate(pool):
            found = [a for a in ws[2] if a.startswith(kind)]
            if found:
                pool.pop(i)
                return found[0]
        raise SystemExit(f"no {kind} workstation left in {path}")

    it_path = ("Acme", "IT")
    make_user(gen, tree, sales, "VossbeckT", "Tilman", "Vossbeck",
              [take(("Acme", "Sales"), "WS042")[2][0]], title="Key Account Manager",
              note="Usually at WS042 by the window.")
    # Two logins. The IPX one comes from another socket than the workstation's
    # registered address: the lookup matches on the node alone.
    tcp = take_kind(it_path, "TCP")
    ipx = take_kind(it_path, "IPX").rsplit(":", 1)[0] + ":8063"
    make_user(gen, tree, it, "OkaforN", "Nkem", "Okafor", [tcp, ipx],
              title="Network Engineer", note="On call this week.")
    make_user(gen, tree, north, "LindqvistE", "Ebba", "Lindqvist", [],
              title="Sales Representative", note="On leave until next month.")
    make_user(gen, tree, north, "BrandauK", "Kirsten", "Brandau",
              [f"IPX 0000AC11:{gen.node()}:4003"], title="Account Manager",
              note="Logged in from a loan laptop that is not in the directory.")
    # Node 000000000001 is a file server's internal node: logged in at the
    # server console, not at a workstation.
    make_user(gen, tree, servers, "Admin", None, "Administrator",
              ["IPX 5A17C0DE:000000000001:0451"], title="System Administrator",
              phone="+44 113 496 0999",
              note="Logged in at the file server console of FS1. Node 000000000001 is "
                   "the server's internal node, not a workstation.")
    make_user(gen, tree, it, "FerreiraJ", "Joana", "Ferreira",
              [take_kind(it_path, "IPX"), "TCP 10.101.199.199"], title="IT Architect",
              note="Second login from a VPN address that no workstation has.")

    # Several users whose names begin alike, for searches that find many.
    mil = [(("Acme", "Marketing"), "Annika", "Miller"),
           (("Acme", "Sales"), "Jonas", "Milner"),
           (("Acme", "Sales", "South"), "Rhea", "Milanesi"),
           (("Acme", "Finance"), "Dragan", "Milic"),
           (("Acme", "Production", "Plant1"), "Kasia", "Milewski"),
           (("Acme", "HR"), "Oda", "Mills"),
           (("DE", "Nordwerk", "Hamburg"), "Henning", "Mildner"),
           (("DE", "Nordwerk", "Munich"), "Vroni", "Miltenberger")]
    # The same relative name in two containers.
    twins = [(("Acme", "IT", "Helpdesk"), "Marta", "Novak"),
             (("DE", "Nordwerk", "Munich"), "Miroslav", "Novak")]
    for path, given, surname in mil + twins:
        c = by_path[path]
        pool = free[path] or free[("Acme", "Finance")]
        addrs = [gen.rnd.choice(pool.pop(0)[2])] if pool and gen.rnd.random() < 0.7 else []
        cn = ascii_fold(surname) + given[0]
        gen.user_cns.add(cn)
        make_user(gen, tree, c, cn, given, surname, addrs)

    # Random staff. Users-only containers borrow free workstations of their neighbours.
    elsewhere = {("DE", "Nordwerk", "Management"): [("DE", "Nordwerk", "Hamburg")],
                 ("Acme", "HR"): [("Acme", "Finance"), ("Acme", "Marketing")]}
    for c in containers:
        if c.users:
            pools = [free[p] for p in [tuple(c.path)] + elsewhere.get(tuple(c.path), [])]
            fill_random_users(gen, tree, c, c.users, pools)

    set_operators(gen, tree, containers, all_ws)

    # Entries must appear parents first: users were appended after all containers,
    # so regroup the tree in depth-first order of the container list.
    reorder(tree, containers)

    # Aliases, after their targets.
    def alias(path, cn, target_dn, note):
        tree.aliases.append(Entry(f"cn={cn}," + dn_of(tree, path), ["alias"],
                                  [("cn", cn), ("aliasedObjectName", target_dn),
                                   ("description", note)]))

    ws, users = tree.ws_by_name, tree.users_by_cn
    alias(["Acme"], "SalesDemoPC", ws["WS042"][0], "Demo PC of the sales team (WS042)")
    alias(["Acme", "IT"], "Administrator", users["Admin"],
          "Alias of the server administrator")
    alias(["DE", "Nordwerk", "Hamburg"], "MillerA", users["MillerA"],
          "Marketing contact at Acme head office")
    alias(["DE", "Nordwerk"], "Leitstand", ws["HH-WS001"][0], "Leitstand der Disposition")
    alias(["Acme", "Production"], "HallTerminal", ws["WS170"][0],
          "Terminal at the entrance of hall 3")
    alias(["Acme", "Sales", "North"], "Vossbeck", users["VossbeckT"],
          "Regional cover for the north")

    # Last, so that the random data above stays as it was: two workstations whose
    # IP addresses differ by a last digit, the longer one first in the directory,
    # and a user at the shorter one. A lookup of 10.101.140.5 must not take
    # WS118 at 10.101.140.50.
    make_workstation(gen, tree, it, "WS118", None, "Desktop PC",
                     ["TCP 10.101.140.50"])
    make_workstation(gen, tree, it, "WS119", None, "Desktop PC",
                     ["TCP 10.101.140.5"])
    make_user(gen, tree, it, "ProkschW", "Wolfram", "Proksch", ["TCP 10.101.140.5"],
              title="Network Engineer", note="Sits next to WS118; works at WS119.")
    # This machine, for a login that tolvane-logon publishes by hand on the
    # demo ("TCP 127.0.0.1"): fixed values only, so that the random data of
    # LabTree, made after this tree, stays as it was.
    dn = "cn=LOCALHOST," + dn_of(tree, it.path)
    addrs = ["TCP 127.0.0.1"]
    gen.ips.add("127.0.0.1")
    entry = Entry(dn, ["ktrWorkstation"],
                  [("cn", "LOCALHOST"),
                   ("description", "This machine: where tolvane-logon publishes by hand"),
                   ("l", it.site.location)] + [("rjNetworkAddress", a) for a in addrs])
    tree.entries.append(entry)
    tree.ws_by_name["LOCALHOST"] = (dn, addrs, entry)
    return tree


CONTAINER_CLASSES = ("country", "organization", "organizationalUnit")


def subset(tree, keep):
    """The part of a tree below the containers in keep (paths of relative names):
    their own objects, and the aliases whose target is kept too."""
    kept = {dn_of(tree, p) for p in keep} | {tree.suffix}
    part = Tree(tree.name)
    for e in tree.entries:
        parent = e.dn.split(",", 1)[1] if "," in e.dn else None
        if e.classes[0] in CONTAINER_CLASSES or parent is None:
            if e.dn in kept:
                part.entries.append(e)
        elif parent in kept:
            part.entries.append(e)
    dns = {e.dn for e in part.entries}
    part.aliases = [a for a in tree.aliases if a.dn.split(",", 1)[1] in kept
                    and dict(a.attrs)["aliasedObjectName"] in dns]
    return part


def reorder(tree, containers):
    """Orders the tree depth first, so that parents precede their children: the
    root, then each container followed by its own objects and its sub-containers."""
    root = tree.entries[0]
    by_parent = {}
    for e in tree.entries[1:]:
        parent = e.dn.split(",", 1)[1]
        by_parent.setdefault(parent, []).append(e)
    out = [root]
    container_dns = {dn_of(tree, c.path) for c in containers}

    def emit(dn):
        kids = by_parent.get(dn, [])
        # Leaf objects of a container first, then its sub-containers.
        for e in kids:
            if e.dn not in container_dns:
                out.append(e)
        for e in kids:
            if e.dn in container_dns:
                out.append(e)
                emit(e.dn)

    emit(tree.suffix)
    assert len(out) == len(tree.entries), "entries lost while ordering"
    tree.entries = out


def build_lab(gen):
    tree = Tree("LabTree", "Test tree of the IT lab")
    lab = Site("0000BEEF", "10.177.101", "+44 113 496 07", "lab.acme.example",
               "Leeds, Building C, lab", "IT")
    C = Container
    org = C(["Lab"], "o=Lab", "organization", 0, 0, None, lab,
            [("description", "IT test laboratory")])
    bench = C(["Lab", "Bench"], "ou=Bench", "organizationalUnit", 0, 4,
              lambda i: f"LAB{i + 1:02d}", lab)
    test = C(["Lab", "Test"], "ou=Test", "organizationalUnit", 0, 2,
             lambda i: f"LABTEST{i + 1:02d}", lab._replace(net="0000BEF0", ip="10.177.102"))
    for c in (org, bench, test):
        add_container(tree, c)
    ws_bench = [make_workstation(gen, tree, bench, bench.ws_names(i), kinds)
                for i, kinds in enumerate([["IPX"], ["TCP"], ["IPX", "TCP"], ["IPX"]])]
    ws_test = [make_workstation(gen, tree, test, test.ws_names(i), kinds)
               for i, kinds in enumerate([["TCP"], ["IPX", "TCP"]])]
    make_user(gen, tree, bench, "MillerL", "Lotta", "Miller", [ws_bench[0][2][0]],
              title="Test Engineer")
    make_user(gen, tree, bench, "HaraldsenS", "Siri", "Haraldsen",
              [ws_bench[1][2][0], ws_bench[2][2][0]], title="Test Engineer")
    make_user(gen, tree, test, "QuistorpB", "Bent", "Quistorp", [], title="Lab Manager")
    make_user(gen, tree, test, "TestUser01", "Test", "User", [ws_test[1][2][1]],
              title="Test account", note="Shared test account; password in the lab safe.")
    reorder(tree, [org, bench, test])
    return tree


# ---------------------------------------------------------------- other schemas


def parent_dn(dn):
    return dn.split(",", 1)[1] if "," in dn else None


def rdn_value(dn):
    return dn.split(",", 1)[0].split("=", 1)[1]


def ipx_node(address):
    """The node of "IPX net:node:socket": a login is matched on the node alone."""
    return address.split(" ", 1)[1].split(":")[1].upper()


def address_key(address):
    kind, value = address.split(" ", 1)
    return ("IPX", ipx_node(address)) if kind == "IPX" else ("TCP", value)


class Converted:
    """One tree in another schema: its entries in the ktr file's order."""

    def __init__(self, name):
        self.name = name
        self.entries = []


def user_full_name(attrs):
    return attrs["fullName"]


def convert_trees(trees, convert):
    """Converts every tree with convert(tree, entry, dns) -> Entry or None. The
    new DNs of users (named by their full names) are known before any entry is
    converted, so that references to them can be rewritten."""
    out = []
    for tree in trees:
        dns = {}
        names = {}
        for e in tree.entries:
            parent = parent_dn(e.dn)
            if e.classes == ["ktrUser"]:
                rdn = user_full_name(dict(e.attrs))
                assert not any(ch in rdn for ch in ',+"\\<>;=#'), f"{rdn} needs escaping"
                key = (rdn.lower(), parent.lower())
                assert key not in names, f"two users named {rdn} in {parent}"
                names[key] = e.dn
                dns[e.dn] = (rdn, parent)
        part = Converted(tree.name)
        for e in tree.entries + tree.aliases:
            new = convert(tree, e, dns)
            if new is not None:
                part.entries.append(new)
        out.append(part)
    return out


def owners_by_workstation(tree):
    """For each workstation DN, the users whose addresses match one of its own."""
    at = {}
    for dn, addrs, _ in tree.ws_by_name.values():
        for a in addrs:
            at[address_key(a)] = dn
    owners = {}
    for e in tree.entries:
        if e.classes == ["ktrUser"]:
            for n, v in e.attrs:
                if n == "networkAddress" and address_key(v) in at:
                    owners.setdefault(at[address_key(v)], []).append(e.dn)
    return owners


STANDARD_USER = [("surname", "sn"), ("givenName", "givenName"), ("fullName", "displayName"),
                 ("title", "title"), ("department", "departmentNumber"),
                 ("telephoneNumber", "telephoneNumber"), ("mail", "mail"),
                 ("description", "description"), ("l", "l")]


def standard_entry(tree, e, user_dns, owners):
    """An entry of the ktr file in the standard classes."""
    def user_dn(dn):
        rdn, parent = user_dns[dn]
        return f"cn={rdn},{parent}"

    def standard_dn(dn):
        return user_dn(dn) if dn in user_dns else dn

    kind = e.classes[0]
    attrs = dict(e.attrs)
    if kind == "ktrTree":
        return Entry(e.dn, ["domain"], e.attrs)
    if kind in ("country", "organization", "organizationalUnit"):
        return Entry(e.dn, [kind], e.attrs)
    if kind == "alias":
        return Entry(e.dn, ["alias", "extensibleObject"],
                     [(n, standard_dn(v) if n == "aliasedObjectName" else v)
                      for n, v in e.attrs])
    if kind == "ktrUser":
        out = [("cn", attrs["fullName"]), ("uid", attrs["cn"])]
        out += [(to, attrs.get(frm)) for frm, to in STANDARD_USER]
        return Entry(user_dn(e.dn), ["person", "organizationalPerson", "inetOrgPerson"], out)
    if kind == "ktrWorkstation":
        ips = [v.split(" ", 1)[1] for n, v in e.attrs
               if n == "rjNetworkAddress" and v.startswith("TCP ")]
        out = [("cn", attrs["cn"]), ("description", attrs.get("description")),
               ("l", attrs.get("l"))]
        out += [("owner", user_dn(dn)) for dn in owners.get(e.dn, [])]
        out += [("ipHostNumber", ip) for ip in ips]
        return Entry(e.dn, ["device", "ipHost"] if ips else ["device"], out)
    raise SystemExit(f"no standard class for {kind} ({e.dn})")


def standard_trees(trees):
    def convert(tree, e, dns):
        if tree.name not in owners:
            owners[tree.name] = owners_by_workstation(tree)
        return standard_entry(tree, e, dns, owners[tree.name])
    owners = {}
    return convert_trees(trees, convert)


AD_DOMAIN = "@DOMAIN@"
AD_USER = [("givenName", "givenName"), ("surname", "sn"), ("fullName", "displayName"),
           ("title", "title"), ("department", "department"),
           ("telephoneNumber", "telephoneNumber"), ("mail", "mail"),
           ("description", "description"), ("l", "physicalDeliveryOfficeName")]


def ad_trees(trees):
    """The trees in Active Directory's classes, below one domain: the first tree's
    content right below the domain's root, every other tree below OU=<its name>.
    Countries and organizations become organizational units; aliases are left
    out, as Active Directory has none."""
    logins = set()

    def ad_dn(tree, dn, dns):
        if dn in dns:
            rdn, parent = dns[dn]
            return f"CN={rdn},{ad_dn(tree, parent, dns)}"
        base = AD_DOMAIN if tree is trees[0] else f"OU={tree.name},{AD_DOMAIN}"
        if dn == tree.suffix:
            return base
        rdns = dn[:-len(tree.suffix) - 1].split(",")
        kind = {"cn": "CN"}
        return ",".join(kind.get(r.split("=")[0], "OU") + "=" + r.split("=", 1)[1]
                        for r in rdns) + "," + base

    def login(name, given=None):
        """A login name unique in the domain: the ktr file has the same name in two
        containers (NovakM), which Active Directory refuses, so the later one
        takes more letters of the given name (NovakMi)."""
        base = name[:-1] if given else name
        for n in range(2, len(given or "") + 2):
            if name.lower() not in logins:
                break
            name = base + ascii_fold(given)[:n]
        assert len(name) <= 20, f"login name {name} longer than 20 characters"
        assert name.lower() not in logins, f"login name {name} twice"
        logins.add(name.lower())
        return name

    def convert(tree, e, dns):
        kind = e.classes[0]
        attrs = dict(e.attrs)
        dn = ad_dn(tree, e.dn, dns)
        if kind == "ktrTree":
            if tree is trees[0]:
                return None
            return Entry(dn, ["organizationalUnit"],
                         [("ou", tree.name), ("description", attrs.get("description"))])
        if kind in ("country", "organization", "organizationalUnit"):
            return Entry(dn, ["organizationalUnit"],
                         [("ou", rdn_value(e.dn))] + [(n, v) for n, v in e.attrs
                                                       if n in ("description", "l",
                                                                "telephoneNumber")])
        if kind == "alias":
            return None
        if kind == "ktrUser":
            out = [("cn", attrs["fullName"]), ("sAMAccountName", login(attrs["cn"], attrs["givenName"]))]
            out += [(to, attrs.get(frm)) for frm, to in AD_USER]
            out += [("networkAddress", v) for n, v in e.attrs if n == "networkAddress"]
            return Entry(dn, ["person", "organizationalPerson", "user"], out)
        if kind == "ktrWorkstation":
            name = attrs["cn"]
            out = [("cn", name), ("sAMAccountName", login(name + "$")),
                   ("dNSHostName", name.lower() + ".corptree.test"),
                   ("description", attrs.get("description")),
                   ("location", attrs.get("l"))]
            out += [("networkAddress", v) for n, v in e.attrs if n == "rjNetworkAddress"]
            return Entry(dn, ["person", "organizationalPerson", "user", "computer"], out)
        raise SystemExit(f"no Active Directory class for {kind} ({e.dn})")

    return convert_trees(trees, convert)


# ---------------------------------------------------------------- files

HEADER = """\
# {title}
# Written by scripts/gen-demo-directory.py; change the script and run it again
# rather than editing this file.
#
# Full names map to DNs from the tree root down: KTR:\\\\CorpTree\\Acme\\Sales\\WS042
# is cn=WS042,ou=Sales,o=Acme,dc=CorpTree.
version: 1"""


def write_file(path, title, newer_console, trees):
    ats, ocs = schema_values(newer_console)
    parts = [HEADER.format(title=title)]
    body = [attr_line("dn", "cn=Subschema"), attr_line("objectClass", "top"),
            attr_line("objectClass", "subschema")]
    body += [attr_line("attributeTypes", v) for v in ats]
    body += [attr_line("objectClasses", v) for v in ocs]
    parts[0] += "\n" + "\n".join(body) + "\n"
    for tree in trees:
        parts += [e.ldif() for e in tree.entries + tree.aliases]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(parts))


STANDARD_HEADER = """\
# {title}
# Written by scripts/gen-demo-directory.py; change the script and run it again
# rather than editing this file.
#
# The trees of directory.ldif in Debian's standard OpenLDAP classes, as a
# server exports them: no schema entry. Users are inetOrgPerson entries named
# by their full names, with the login name in uid; workstations are devices
# (with ipHost and its ipHostNumber when they have a TCP address) whose owner
# values name the users logged in at them.
version: 1"""

AD_HEADER = """\
# {title}
# Written by scripts/gen-demo-directory.py; change the script and run it again
# rather than editing this file.
#
# The trees of directory.ldif in Active Directory's classes, for scripts/ad-demo:
# CorpTree's content right below the domain's root, LabTree's below OU=LabTree;
# countries and organizations as organizational units, no aliases. Every DN
# ends in @DOMAIN@, which the loader replaces by the domain's DN.
version: 1"""


def write_entries(path, header, trees):
    parts = [header + "\n"]
    for tree in trees:
        parts += [e.ldif() for e in tree.entries]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(parts))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "demo")
    gen = Generator()
    corp = build_corp(gen)
    lab = build_lab(gen)
    write_file(os.path.join(out, "directory.ldif"),
               "Demo directory: trees CorpTree and LabTree, newer console generation",
               True, [corp, lab])
    old = subset(corp, [("Acme",), ("Acme", "Sales"), ("Acme", "Sales", "North"),
                        ("Acme", "IT"), ("Acme", "IT", "Servers")])
    write_file(os.path.join(out, "directory-oldconsole.ldif"),
               "Demo directory for the older console generation: the schema has no "
               "\"RK:Harbex File Transfer\"",
               False, [old])
    standard = standard_trees([corp, lab])
    write_entries(os.path.join(out, "directory-standard.ldif"),
                  STANDARD_HEADER.format(title="Demo directory in the standard classes: "
                                               "trees CorpTree and LabTree"), standard)
    ad = ad_trees([corp, lab])
    write_entries(os.path.join(out, "directory-ad.ldif"),
                  AD_HEADER.format(title="Demo directory for an Active Directory domain"),
                  ad)
    for tree in (corp, lab, old):
        users = sum(1 for e in tree.entries if e.classes == ["ktrUser"])
        ws = sum(1 for e in tree.entries if e.classes == ["ktrWorkstation"])
        print(f"{tree.name}: {len(tree.entries)} entries, {users} users, {ws} "
              f"workstations, {len(tree.aliases)} aliases", file=sys.stderr)


if __name__ == "__main__":
    main()
