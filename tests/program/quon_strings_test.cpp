#include "program/quon_strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"

namespace vantrel {
namespace {

using Lines = std::vector<std::string>;

Lines linesOf(const TQuonStrings& s) {
    Lines v;
    for (int32_t i = 0; i < s.count(); ++i) v.push_back(s.Get(i));
    return v;
}

const std::string kNul2("\0\0", 2);

class QuonFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/quon_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    std::string read(const std::string& p) {
        std::string b;
        readWholeFile(p, b);
        return b;
    }
    // Loads the bytes and saves them again; returns the store and what was saved.
    std::string roundTrip(const std::string& bytes, TQuonStrings& s) {
        EXPECT_TRUE(s.LoadFromFile(write("in.txt", bytes)));
        std::string msg;
        EXPECT_TRUE(s.SaveToFile(path("out.txt"), &msg)) << msg;
        return read(path("out.txt"));
    }
    std::string dir_;
};

TEST(QuonStrings, EmptyStoreAndIndexChecks) {
    TQuonStrings s;
    EXPECT_EQ(linesOf(s), Lines{""});
    EXPECT_EQ(s.Text(), "");
    EXPECT_FALSE(s.Put(1, "x"));
    EXPECT_EQ(s.lastError(), "インデックスがリストの範囲を超えています");
    EXPECT_FALSE(s.Insert(2, "x"));
    EXPECT_FALSE(s.Delete(-1));
    EXPECT_EQ(s.Get(5), "");
    EXPECT_EQ(s.lineText(-1), "");
    EXPECT_TRUE(s.Insert(1, "b\r\n"));
    EXPECT_EQ(s.Add("c"), 2);
    EXPECT_TRUE(s.Delete(0));
    EXPECT_EQ(linesOf(s), (Lines{"b\r\n", "c"}));
    s.Clear();
    EXPECT_EQ(s.count(), 0);
    EXPECT_EQ(s.capacity(), 0);
    for (int i = 0; i < 40; ++i) s.Add("x\r\n");
    EXPECT_GE(s.capacity(), 40);
}

TEST(QuonStrings, TerminatorsAndLineText) {
    TQuonStrings s;
    s.SetText("G01\r\nX1.\nY2.\rZ3.");
    EXPECT_EQ(linesOf(s), (Lines{"G01\r\n", "X1.\r\n", "Y2.\r\n", "Z3." + kNul2}));
    EXPECT_EQ(s.lineText(3), "Z3.");
    EXPECT_EQ(s.lineText(0), "G01");
    EXPECT_EQ(s.Text(), "G01\r\nX1.\r\nY2.\r\nZ3.");
    s.SetText("A\r\n");
    EXPECT_EQ(linesOf(s), (Lines{"A\r\n", ""}));
    EXPECT_EQ(s.Text(), "A\r\n");  // the final break survives a read back
    s.SetText("");
    EXPECT_EQ(linesOf(s), Lines{""});
    // Text written back gives the same store.
    s.SetText("a\r\nb\n\nc");
    TQuonStrings t;
    t.SetText(s.Text());
    EXPECT_TRUE(s == t);
    EXPECT_EQ(s.IndexOf("b\r\n"), 1);
    EXPECT_EQ(s.IndexOf("b"), -1);
}

TEST(QuonStrings, PastedAndReceivedTextBreaksAtEveryConvention) {
    TQuonStrings s;
    s.SetText("G00\r\nM30\r\n");
    EXPECT_TRUE(s.InsertText(1, "X1.\nY2.\rZ3."));
    EXPECT_EQ(linesOf(s), (Lines{"G00\r\n", "X1.\r\n", "Y2.\r\n", "Z3.\r\n", "M30\r\n", ""}));
    EXPECT_EQ(s.Text(), "G00\r\nX1.\r\nY2.\r\nZ3.\r\nM30\r\n");
    EXPECT_FALSE(s.InsertText(99, "x"));

    TQuonStrings r;
    r.appendToLastLine("G01 X1.\r");
    r.appendToLastLine("\nG02");  // a CR LF split across two receptions is one break
    r.appendToLastLine(" Y2.\nM30\r");
    r.appendToLastLine("%");
    EXPECT_EQ(r.count(), 4);
    EXPECT_EQ(r.lineText(0), "G01 X1.");
    EXPECT_EQ(r.lineText(1), "G02 Y2.");
    EXPECT_EQ(r.lineText(2), "M30");
    EXPECT_EQ(r.lineText(3), "%");
}

TEST(QuonStrings, CommaText) {
    TQuonStrings s;
    s.SetText("G01 X1.\nA,B\nM30");
    EXPECT_EQ(s.CommaText(), "\"G01 X1.\",\"A,B\",M30");
    TQuonStrings t;
    t.SetCommaText(s.CommaText());
    EXPECT_EQ(t.count(), 3);
    EXPECT_EQ(t.lineText(0), "G01 X1.");
    EXPECT_EQ(t.lineText(1), "A,B");
    EXPECT_EQ(t.lineText(2), "M30");
    t.SetCommaText("a,b\rc,d");
    EXPECT_EQ(t.count(), 2);
    t.SetCommaText("");
    EXPECT_EQ(linesOf(t), Lines{""});
}

TEST_F(QuonFiles, CrLfFileWithoutFinalBreakComesBackByteForByte) {
    TQuonStrings s;
    const std::string bytes = "G01 X1.\r\nM30";
    EXPECT_EQ(roundTrip(bytes, s), bytes);
    EXPECT_EQ(linesOf(s), (Lines{"G01 X1.\r\n", "M30" + kNul2}));
}

TEST_F(QuonFiles, AllThreeConventionsGiveTheSameStore) {
    TQuonStrings crlf, lf, cr;
    EXPECT_EQ(roundTrip("G00\r\nG01\r\n", crlf), "G00\r\nG01\r\n");
    EXPECT_EQ(roundTrip("G00\nG01\n", lf), "G00\r\nG01\r\n");
    EXPECT_EQ(roundTrip("G00\rG01\r", cr), "G00\r\nG01\r\n");
    EXPECT_EQ(linesOf(lf), (Lines{"G00\r\n", "G01\r\n", ""}));
    EXPECT_TRUE(crlf == lf);
    EXPECT_TRUE(cr == lf);
    // A CR inside LF text stays in the line's text, an LF inside CR text too.
    TQuonStrings mixed;
    mixed.LoadFromBytes("A\nB\r\nC");
    EXPECT_EQ(mixed.lineText(1), "B\r");
    mixed.LoadFromBytes("A\rB\nC\r");
    EXPECT_EQ(mixed.lineText(1), "B\nC");
}

TEST_F(QuonFiles, EmptyFileAndLongLines) {
    TQuonStrings s;
    EXPECT_EQ(roundTrip("", s), "");
    EXPECT_EQ(linesOf(s), Lines{""});
    // A line far longer than any read chunk, and a first break far beyond the first kilobyte.
    std::string longLine(40000, 'X');
    longLine[17000] = 'Y';
    TQuonStrings l;
    EXPECT_EQ(roundTrip(longLine + "\nG01\n", l), longLine + "\r\nG01\r\n");
    EXPECT_EQ(l.count(), 3);
    EXPECT_EQ(l.lineText(0), longLine);
}

TEST_F(QuonFiles, EncodingIsKeptPerFile) {
    TQuonStrings u;
    const std::string utf8 = "O0001(サンプル)\r\nG01 X1.";
    EXPECT_EQ(roundTrip(utf8, u), utf8);
    EXPECT_EQ(u.encoding(), TextEncoding::Utf8);

    TQuonStrings j;
    const std::string sjis = "O0001(\x83\x54\x83\x93\x83\x76\x83\x8b)\r\n\xed\x40X1.\x80\r\n";
    EXPECT_EQ(roundTrip(sjis, j), sjis);
    EXPECT_EQ(j.encoding(), TextEncoding::Cp932);
    EXPECT_EQ(j.lineText(0), "O0001(サンプル)");

    // A character CP932 cannot hold: saved as UTF-8 rather than lost, and said so.
    j.Put(0, "(😀)\r\n");
    std::string msg;
    EXPECT_TRUE(j.SaveToFile(path("emoji.txt"), &msg));
    EXPECT_FALSE(msg.empty());
    EXPECT_EQ(j.encoding(), TextEncoding::Utf8);
    TQuonStrings back;
    ASSERT_TRUE(back.LoadFromFile(path("emoji.txt")));
    EXPECT_EQ(back.lineText(0), "(😀)");
}

TEST_F(QuonFiles, FailedLoadLeavesTheStoreAndSavingNeverTruncates) {
    TQuonStrings s;
    s.SetText("G01\nM30");
    std::string msg;
    EXPECT_FALSE(s.LoadFromFile(path("missing.nc"), &msg));
    EXPECT_NE(msg.find("読み込めませんでした"), std::string::npos);
    EXPECT_EQ(s.Text(), "G01\r\nM30");
    EXPECT_FALSE(s.SaveToFile(path("no/such/dir/x.txt"), &msg));

    // A last line without terminator (as Put or Add leave it) is written whole.
    TQuonStrings t;
    t.Put(0, "G01\r\n");
    t.Add("M30");
    EXPECT_TRUE(t.SaveToFile(path("t.txt")));
    EXPECT_EQ(read(path("t.txt")), "G01\r\nM30");
    t.Put(1, "M");
    EXPECT_TRUE(t.SaveToFile(path("t.txt")));
    EXPECT_EQ(read(path("t.txt")), "G01\r\nM");
    // An unterminated line in the middle still gets its break.
    t.Insert(1, "X1.");
    EXPECT_TRUE(t.SaveToFile(path("t.txt")));
    EXPECT_EQ(read(path("t.txt")), "G01\r\nX1.\r\nM");

    std::istringstream in("A\nB");
    EXPECT_TRUE(t.LoadFromStream(in));
    EXPECT_EQ(t.Text(), "A\r\nB");
}

}  // namespace
}  // namespace vantrel
