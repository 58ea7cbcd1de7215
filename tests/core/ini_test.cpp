#include <gtest/gtest.h>

#include "core/ini.h"
#include "support/test_util.h"

namespace tavo {
namespace {

using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

TEST(Ini, MissingFileGivesTheDefault) {
  TempDir dir;
  EXPECT_EQ(IFReadIniStr(dir.path(), u"PARAM", u"CB1", u"0"), u"0");
}

TEST(Ini, FirstWriteCreatesTheFile) {
  TempDir dir;
  EXPECT_TRUE(IFWriteIniStr(dir.path(), u"PARAM", u"CB1", u"1"));
  EXPECT_EQ(ReadBytes(dir / "user.ini"), "[PARAM]\r\nCB1=1\r\n");
  EXPECT_EQ(IFReadIniStr(dir.path(), u"PARAM", u"CB1", u"0"), u"1");
}

TEST(Ini, EmptyValueIsNotTheDefault) {
  TempDir dir;
  IFWriteIniStr(dir.path(), u"PARAM", u"SAVEFDR", u"");
  EXPECT_EQ(IFReadIniStr(dir.path(), u"PARAM", u"SAVEFDR", u"x"), u"");
}

TEST(Ini, CaseBlanksAndOtherContentAsWindowsDoes) {
  TempDir dir;
  WriteBytes(dir / "user.ini",
             Sjis("; note\r\n[Other]\r\nCB1=9\r\n\r\n[param]\r\n  cb1 =  5  \r\nSAVEFDR=C:\\保存\r\n"
                  "[Last]\r\nx=1\r\n"));
  EXPECT_EQ(IFReadIniStr(dir.path(), u"PARAM", u"CB1", u"0"), u"5");
  EXPECT_EQ(IFReadIniStr(dir.path(), u"Param", u"savefdr", u""), T("C:\\保存"));
  EXPECT_EQ(IFReadIniStr(dir.path(), u"Other", u"CB1", u""), u"9");

  IFWriteIniStr(dir.path(), u"PARAM", u"CB1", u"-1");
  IFWriteIniStr(dir.path(), u"PARAM", u"SVCHG", u"1");
  EXPECT_EQ(ReadBytes(dir / "user.ini"),
            Sjis("; note\r\n[Other]\r\nCB1=9\r\n\r\n[param]\r\nCB1=-1\r\nSAVEFDR=C:\\保存\r\n"
                 "SVCHG=1\r\n[Last]\r\nx=1\r\n"));
}

TEST(Ini, NewSectionIsAppended) {
  TempDir dir;
  WriteBytes(dir / "user.ini", "[Other]\r\na=1\r\n");
  IFWriteIniStr(dir.path(), u"PARAM", u"SAVEFF1", u"C:\\HDD_KX2\\FF1");
  EXPECT_EQ(ReadBytes(dir / "user.ini"), "[Other]\r\na=1\r\n\r\n[PARAM]\r\nSAVEFF1=C:\\HDD_KX2\\FF1\r\n");
}

TEST(Ini, EveryReadSeesTheFileAsItIsNow) {
  TempDir dir;
  WriteBytes(dir / "user.ini", "[PARAM]\r\nCB1=1\r\n");
  EXPECT_EQ(IFReadIniStr(dir.path(), u"PARAM", u"CB1", u"0"), u"1");
  WriteBytes(dir / "user.ini", "[PARAM]\r\nCB1=0\r\n");
  EXPECT_EQ(IFReadIniStr(dir.path(), u"PARAM", u"CB1", u"1"), u"0");
}

}  // namespace
}  // namespace tavo
