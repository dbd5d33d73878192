"""Resources in the image: .rc files compiled by windres, read through "#resource" and walked
back with pefile; the same .res linked by MinGW must give the same tree. The directory layout
is checked on the bytes, and damaged or unsupported .res files must be refused."""
import os
import re
import shutil
import struct
import subprocess

from kelvo_test import KelvoCase, main, run_kelvo

try:
    import pefile
except ImportError:
    pefile = None

WINDRES = "i686-w64-mingw32-windres"
MINGW_GCC = "i686-w64-mingw32-gcc"
PROGRAM = "program win32cui 'T'\n#resource '%s';\nentry:\n  mov eax, 3\n  ret\n"


def bitmap_image(width, height):
    """A 32-bit icon/cursor image: BITMAPINFOHEADER, pixels, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"\x11" * (width * height * 4) + b"\0" * (4 * height)


def icon_file(sizes, cursor=False):
    images = [bitmap_image(s, s) for s in sizes]
    out = struct.pack("<HHH", 0, 2 if cursor else 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 2 if cursor else 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


MANIFEST = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<assembly manifestVersion="1.0"/>\n'
RC = r"""
#define RT_MANIFEST 24
LANGUAGE 9, 1
1 ICON "app.ico"
2 CURSOR "arrow.cur"
1 RT_MANIFEST "app.manifest"
STRINGTABLE
BEGIN
  1 "Hello from the resources"
  40 "forty"
END
LANGUAGE 7, 1
STRINGTABLE
BEGIN
  1 "Hallo aus den Ressourcen"
END
LANGUAGE 12, 1
7 RCDATA { "seven", 7 }
LANGUAGE 9, 1
3 RCDATA { "three" }
LANGUAGE 7, 1
3 RCDATA { "drei" }
1 VERSIONINFO
FILEVERSION 1,2,3,4
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "FileDescription", "Kelvo resource test"
    END
  END
END
"""


def res_header(data_size, rtype, rid, lang, header_size=32, type_marker=0xFFFF, name_marker=0xFFFF):
    return struct.pack("<IIHHHHIHHII", data_size, header_size, type_marker, rtype, name_marker, rid, 0, 0x30, lang,
                       0, 0)


def res_file(entries):
    """A .res from (type, id, language, data) tuples, with its empty first entry."""
    out = res_header(0, 0, 0, 0)
    for rtype, rid, lang, data in entries:
        out += res_header(len(data), rtype, rid, lang) + data
        out += b"\0" * (-len(out) % 4)
    return out


def res_entries(data):
    """(type, id, language, bytes) of every entry of a .res file, read independently."""
    found, at = [], 0
    while at < len(data):
        size, hsize = struct.unpack_from("<II", data, at)
        if size:
            rtype, rid = struct.unpack_from("<H", data, at + 10)[0], struct.unpack_from("<H", data, at + 14)[0]
            lang = struct.unpack_from("<H", data, at + 22)[0]
            found.append((rtype, rid, lang, data[at + hsize:at + hsize + size]))
        at = (at + hsize + size + 3) & ~3
    return found


def pe_tree(path):
    """(type, id, language, bytes) of every resource of an image, in directory order."""
    pe = pefile.PE(path)
    found = []
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for i in t.directory.entries:
            for lang in i.directory.entries:
                d = lang.data.struct
                found.append((t.id, i.id, lang.id, pe.get_data(d.OffsetToData, d.Size)))
    return found


class Resources(KelvoCase):
    def setUp(self):
        super().setUp()
        if pefile is None:
            self.skipTest("python3-pefile is not installed")

    def windres(self):
        if not shutil.which(WINDRES):
            self.skipTest(WINDRES + " is not installed")
        self.write("app.ico", icon_file([16, 32]))
        self.write("arrow.cur", icon_file([16], cursor=True))
        self.write("app.manifest", MANIFEST)
        self.write("all.rc", RC)
        subprocess.run([WINDRES, "-O", "res", "all.rc", "all.res"], cwd=self.dir, check=True)
        with open(os.path.join(self.dir, "all.res"), "rb") as f:
            return f.read()

    def build(self, res_name, expect=0):
        r = run_kelvo(self.write("prog.kpr", PROGRAM % res_name), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, expect, r.out)
        return os.path.join(self.dir, "prog.exe"), r

    def test_windres_output_reaches_the_image_entry_for_entry(self):
        res = self.windres()
        expected = res_entries(res)
        self.assertEqual({e[0] for e in expected}, {1, 3, 6, 10, 12, 14, 16, 24})
        path, _ = self.build("all.res")
        tree = pe_tree(path)
        self.assertEqual(sorted(tree), sorted(expected))
        # Windows bisects ids and languages: each level must come out ascending.
        keys = [(t, i, lang) for t, i, lang, _ in tree]
        self.assertEqual(keys, sorted(keys))

    def test_the_same_res_linked_by_mingw_gives_the_same_tree(self):
        res = self.windres()
        if not shutil.which(MINGW_GCC):
            self.skipTest(MINGW_GCC + " is not installed")
        self.write("main.c", "int main(void) { return 0; }\n")
        subprocess.run([WINDRES, "-i", "all.res", "-O", "coff", "-o", "res.o"], cwd=self.dir, check=True)
        subprocess.run([MINGW_GCC, "main.c", "res.o", "-o", "mingw.exe"], cwd=self.dir, check=True)
        path, _ = self.build("all.res")
        self.assertEqual(pe_tree(path), pe_tree(os.path.join(self.dir, "mingw.exe")))
        self.assertEqual(len(pe_tree(path)), len(res_entries(res)))

    def test_one_icon_has_88_bytes_of_directory_and_data_in_the_order_of_adding(self):
        icon, other = b"\x5A" * 1150, b"\xA5" * 7
        self.write("one.res", res_file([(3, 1, 1033, icon)]))
        path, _ = self.build("one.res")
        pe = pefile.PE(path)
        entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
        section = next(s for s in pe.sections if s.VirtualAddress <= entry.VirtualAddress < s.VirtualAddress
                       + s.Misc_VirtualSize)
        self.assertEqual(entry.VirtualAddress, section.VirtualAddress)  # at the start of ".root"
        self.assertEqual(entry.Size, 88 + 1150)
        raw = pe.get_data(entry.VirtualAddress, 88)
        self.assertEqual(raw[12:16], struct.pack("<HH", 0, 1))
        self.assertEqual(raw[16:24], struct.pack("<II", 3, 0x80000018))
        self.assertEqual(raw[40:48], struct.pack("<II", 1, 0x80000030))
        self.assertEqual(raw[64:72], struct.pack("<II", 1033, 0x48))
        self.assertEqual(raw[72:80], struct.pack("<II", section.VirtualAddress + 88, 1150))
        self.assertEqual(pe.get_data(section.VirtualAddress + 88, 1150), icon)
        # Two of one type: ids in the order added, data one after the other with no gap.
        self.write("two.res", res_file([(3, 1, 1033, icon), (3, 2, 1033, other)]))
        path, _ = self.build("two.res")
        pe = pefile.PE(path)
        entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
        self.assertEqual(entry.Size, 136 + 1150 + 7)
        self.assertEqual([i.id for i in pe.DIRECTORY_ENTRY_RESOURCE.entries[0].directory.entries], [1, 2])
        self.assertEqual(pe.get_data(entry.VirtualAddress + 136, 1157), icon + other)

    def test_ids_added_out_of_order_and_in_several_languages_are_found(self):
        entries = [(10, 9, 1033, b"nine"), (10, 2, 1031, b"zwei"), (10, 2, 1033, b"two"), (10, 5, 1036, b"cinq"),
                   (6, 1, 1033, b"s" * 5), (10, 2, 1030, b"to")]
        self.write("multi.res", res_file(entries))
        path, _ = self.build("multi.res")
        pe = pefile.PE(path)
        types = {t.id: t for t in pe.DIRECTORY_ENTRY_RESOURCE.entries}
        rcdata = types[10].directory.entries
        self.assertEqual([i.id for i in rcdata], [2, 5, 9])
        self.assertEqual([lang.id for lang in rcdata[0].directory.entries], [1030, 1031, 1033])
        self.assertEqual(sorted(pe_tree(path)), sorted(entries))
        # The data part keeps the order of adding.
        entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
        blob = b"".join(e[3] for e in entries)
        self.assertEqual(pe.get_data(entry.VirtualAddress + entry.Size - len(blob), len(blob)), blob)

    def test_no_resources_leave_the_directory_entry_empty(self):
        r = run_kelvo(self.write("none.kpr", "program win32cui 'T'\nentry:\n  ret\n"), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        pe = pefile.PE(os.path.join(self.dir, "none.exe"))
        entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
        self.assertEqual((entry.VirtualAddress, entry.Size), (0, 0))


class BadResourceFiles(KelvoCase):
    """Each is refused with its message and a position, exit 1 and no output file."""

    def refused(self, res_bytes, message, name="bad.res"):
        if res_bytes is not None:
            self.write(name, res_bytes)
        r = run_kelvo(self.write("prog.kpr", PROGRAM % name), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, r.out)
        self.assertIn(message, r.out)
        self.assertIn("[2,", r.out)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "prog.exe")))

    def test_missing_unsupported_and_damaged_files(self):
        good = res_file([(10, 1, 1033, b"data")])
        self.refused(None, 'Resource file "gone.res" does not exist', "gone.res")
        self.refused(res_header(0, 0, 0, 0) + res_header(4, 0, 1, 0, header_size=40, type_marker=0x41) + b"\0" * 12,
                     "This type of resource id is not supported yet, please ask a developer for details.")
        self.refused(res_header(0, 0, 0, 0) + res_header(4, 10, 0, 0, header_size=40, name_marker=0x41) + b"\0" * 12,
                     "This type of resource name is not supported yet, please ask a developer for details.")
        damaged = 'Resource file "bad.res" is damaged: the entry at offset 32 '
        self.refused(good[:40], damaged + "is cut short")
        self.refused(good[:-1], damaged + "runs past the end of the file")
        self.refused(good[:32] + struct.pack("<II", 4, 16) + good[40:], damaged + "has a header of 16 bytes")
        self.refused(good[:32] + struct.pack("<I", 0xFFFFFFF0) + good[36:], damaged + "runs past the end")
        self.refused(res_file([(32, 1, 0, b"x")]), damaged + "has the resource type 32")
        self.refused(res_file([(10, i, 0, b"x") for i in range(52)]),
                     "the entry at offset %d is more than 51 resources of type 10" % (32 + 51 * 36))

    def test_a_resource_given_twice_is_refused_by_type_id_and_language(self):
        if not shutil.which(WINDRES):
            self.skipTest(WINDRES + " is not installed")
        texts = {"a": 'LANGUAGE 9, 1\n5 RCDATA { "one" }\n',
                 "b": 'LANGUAGE 9, 1\n5 RCDATA { "two" }\n6 RCDATA { "six" }\n',
                 "german": 'LANGUAGE 7, 1\n5 RCDATA { "eins" }\n'}
        for name, text in texts.items():
            self.write(name + ".rc", text)
            subprocess.run([WINDRES, "-O", "res", name + ".rc", name + ".res"], cwd=self.dir, check=True)
        with open(os.path.join(self.dir, "a.res"), "rb") as a, open(os.path.join(self.dir, "b.res"), "rb") as b:
            self.write("both.res", a.read() + b.read())  # one file that holds 10/5/0x0409 twice
        duplicate = "Duplicate resource: type 10, id 5, language 0x0409 in [prog.kpr]"
        for files, line in ((["a.res", "b.res"], 3), (["both.res"], 2)):
            with self.subTest(files=files):
                source = "program win32cui 'T'\n" + "".join("#resource '%s';\n" % f for f in files) + "entry:\n  ret\n"
                r = run_kelvo(self.write("prog.kpr", source), "-nopause", "-nolog", "x")
                self.assertEqual(r.code, 1, r.out)
                self.assertRegex(r.out, r"\[%d,\d+\]: %s" % (line, re.escape(duplicate)))
                self.assertFalse(os.path.exists(os.path.join(self.dir, "prog.exe")))
        # The same id in another language is another resource.
        if pefile is None:
            self.skipTest("python3-pefile is not installed: the other language is not checked")
        source = "program win32cui 'T'\n#resource 'a.res';\n#resource 'german.res';\nentry:\n  ret\n"
        r = run_kelvo(self.write("prog.kpr", source), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        self.assertEqual([t[:3] for t in pe_tree(os.path.join(self.dir, "prog.exe"))], [(10, 5, 1031), (10, 5, 1033)])


if __name__ == "__main__":
    main()
