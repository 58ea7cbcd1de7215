#include "linkage/formats.h"

namespace tavo::linkage {

namespace {

// Header texts are UTF-8 literals here and are written exactly as NIVA expects them.
constexpr std::array<std::string_view, kCodeCount> kCodes = {
    "PT_0001", "PT_0002", "PT_0003", "IO_0001", "IO_0002", "IO_0003", "IO_0011", "IO_0012",
    "IO_0013", "IO_0014", "IO_0015", "IO_0016", "IO_0017", "IO_0018", "IO_0024", "IO_0025",
    "IO_0031", "IO_0032", "IO_0042", "IO_0046", "IO_0051", "IO_0052", "IO_0053", "IO_0054",
    "IO_0055", "IO_0056", "IO_0057", "IO_0058", "IO_0059", "IO_0060", "IO_0062", "IO_0064",
    "IO_0065", "IO_0066", "IO_0078", "IO_0079", "IO_0080", "EX_0001", "EX_0002", "EX_0003",
    "EX_0004", "EX_0005", "EX_0006", "EX_0007", "EX_0008", "EX_0009", "EX_0010", "EX_0016",
    "EX_0017", "EX_0018", "EX_0019", "EX_0020", "EX_0021", "EX_0022", "EX_0023", "EX_0024",
    "EX_0025", "EX_0026", "EX_0027", "EX_0028", "EX_0029", "EX_0030", "EX_0031", "EX_0032",
    "EX_0033", "EX_0034", "EX_0035", "EX_0036", "EX_0037", "EX_0038", "EX_0039", "EX_0040",
    "EX_0041", "EX_0042", "EX_0043", "EX_0044", "EX_0045", "EX_0046", "EX_0047", "EX_0048",
    "EX_0049", "EX_0050", "IO_0092", "EX_0051", "IO_0093", "IO_0097", "IO_0010", "IO_0009",
    "IO_0098", "IO_0099", "IO_0100", "IO_0101", "IO_0102", "IO_0103", "IO_0104",
};

constexpr const char* kShortHeader =
    "カルテ番号,患者氏名,診療年月日,郵便番号,身長,体重,収縮期血圧,拡張期血圧,HbA1c,"
    "LDLコレステロール,尿酸,空列";

constexpr std::array<const char*, kNumberedColumnCount> kNumberedHeader = {
    "[0] カルテ番号",
    "[1] 患者氏名",
    "[2] 診療年月日",
    "[3] 郵便番号",
    "[4] 身長",
    "[5] 体重",
    "[6] 収縮期血圧",
    "[7] 拡張期血圧",
    "[8] HbA1c",
    "[9] LDLコレステロール",
    "[10] 尿酸",
    "[11] 高齢者情報",
    "[12] 要介護度",
    "[13] 血圧分類",
    "[14] 高血圧リスク層",
    "[15] 脂質異常症リスク分類",
    "[16] （空列）",
    "[17] 喫煙歴",
    "[18] 1日の喫煙本数",
    "[19] 喫煙年数",
    "[20] 終診情報",
    "[21] 終診年月日",
    "[22] 終診情報の傷病名",
    "[23] 終診情報の傷病名コード",
    "[24] 終診情報のICD10コード",
    "[25] 終診情報の修飾語コード",
    "[26] 糖尿病の有無",
    "[27] 糖尿病の自院管理",
    "[28] 糖尿病の診断年月",
    "[29] 糖尿病の慢性合併症：網膜症",
    "[30] 糖尿病の慢性合併症：腎症",
    "[31] 糖尿病の慢性合併症：神経障害",
    "[32] 高血圧症の有無",
    "[33] 高血圧症の自院管理",
    "[34] 高血圧症の診断年月",
    "[35] 脂質異常症の有無",
    "[36] 脂質異常症の自院管理",
    "[37] 脂質異常症の診断年月",
    "[38] 脳卒中の有無（既往含む）",
    "[39] 脳卒中の初発の種類（既往含む）",
    "[40] 脳卒中の初発の発症（診断）年月",
    "[41] 急性冠症候群の有無（既往含む）",
    "[42] 急性冠症候群の初発の種類（既往含む）",
    "[43] 急性冠症候群の初発の発症（診断）年月",
    "[44] 心不全の有無",
    "[45] 心不全の診断年月",
    "[46] 急性大動脈解離の有無（既往含む）",
    "[47] 急性大動脈解離の初発の発症（診断）年月",
    "[48] 慢性腎臓病の有無",
    "[49] 慢性腎臓病の診断年月",
    "[50] 高尿酸血症の有無",
    "[51] 高尿酸血症の診断年月",
    "[52] 在宅療養を始めた年月",
    "[53] 療養を行っている場所",
    "[54] 訪問診療開始前の往診または外来受診日",
    "[55] 訪問の主傷病の自院診断の有無",
    "[56] 訪問の主傷病の傷病名",
    "[57] 訪問の主傷病の傷病名コード",
    "[58] 訪問の主傷病のICD10コード",
    "[59] 訪問の主傷病の修飾語コード",
    "[60] 患者の状態",
    "[61] バーセルインデックス",
    "[62] 排泄の状況",
    "[63] ブリストルスケール",
    "[64] 排尿の状況",
    "[65] 褥瘡の状況",
    "[66] 低栄養の有無",
    "[67] 摂食・嚥下障害の有無",
    "[68] 経管・経静脈栄養の状況",
    "[69] がんの自院診断の有無",
    "[70] がんの傷病名",
    "[71] がんの傷病名コード",
    "[72] がんのICD10コード",
    "[73] がんの修飾語コード",
    "[74] がんのStaging分類",
    "[75] UICC病気分類（T）",
    "[76] UICC病気分類（N）",
    "[77] UICC病気分類（M）",
    "[78] UICC病気分類（版）",
    "[79] がんのNRS",
    "[80] リハビリの退院年月日",
    "[81] ADL_バーセルインデックス",
    "[82] ADL_FIM",
    "[83] 訓練内容",
    "[84] 入院の有無",
    "[85] 入院の傷病名",
    "[86] 入院の傷病名コード",
    "[87] 入院のICD10コード",
    "[88] 入院の修飾語コード",
};

constexpr std::array<int, kNumberedColumnCount> kNumberedOrder = {
    0,  1,  3,  5,  6,  7,  31, 32, 22,  37, 52, 11, 12, 29, 30,  36, 99, 8,  9,  10, 13, 14, 18,
    16, 15, 17, 19, 20, 21, 23, 24, 25,  26, 27, 28, 33, 34, 35,  38, 39, 40, 41, 42, 43, 44, 45,
    46, 47, 48, 49, 50, 51, 53, 54, 138, 55, 59, 57, 56, 58, 60,  61, 62, 63, 64, 65, 66, 67, 68,
    69, 73, 71, 70, 72, 74, 75, 76, 77,  78, 79, 80, 81, 82, 140, 83, 87, 85, 84, 86,
};

constexpr std::array<const char*, kLongColumnCount> kLongHeader = {
    "カルテ番号",
    "氏名",
    "受診年月日",
    "患者住所地域の郵便番号《C》",
    "身長《C》",
    "体重《C》",
    "収縮期血圧_高血圧症《L》",
    "拡張期血圧_高血圧症《L》",
    "血糖コントロール_糖尿病《L》",
    "LDL コレステロール_脂質異常症《L》",
    "尿酸値_高尿酸血症《L》",
    "高齢者情報《C》",
    "要介護度《C》",
    "血圧分類_高血圧症《L》",
    "リスク層_高血圧症《L》",
    "リスク分類_脂質異常症《L》",
    "",
    "喫煙区分《C》",
    "1 日の喫煙本数《C》",
    "喫煙年数《C》",
    "当月中の終診情報《C》",
    "終診年月日《C》",
    "傷病名_終診《C》",
    "傷病名コード_終診《C》",
    "ICD10 コード_終診《C》",
    "修飾語コード_終診《C》",
    "糖尿病の有無_糖尿病《L》",
    "自院管理の有無_糖尿病《L》",
    "診断年月_糖尿病《L》",
    "慢性合併症：網膜症_糖尿病《L》",
    "慢性合併症：腎症_糖尿病《L》",
    "慢性合併症：神経障害_糖尿病《L》",
    "高血圧症の有無_高血圧症《L》",
    "自院管理の有無_高血圧症《L》",
    "診断年月_高血圧症《L》",
    "脂質異常症の有無_脂質異常症《L》",
    "自院管理の有無_脂質異常症《L》",
    "診断年月_脂質異常症《L》",
    "脳卒中の有無（既往含む）_脳卒中《L》",
    "脳卒中の初発の種類（既往含む）_脳卒中《L》",
    "脳卒中の初発の発症（診断）年月_脳卒中《L》",
    "急性冠症候群の有無（既往含む）_急性冠症《L》",
    "急性冠症候群の初発の種類（既往含む）_急性冠症《L》",
    "急性冠症候群の初発の発症（診断）年月_急性冠症《L》",
    "心不全の有無_心不全《L》",
    "診断年月_心不全《L》",
    "急性大動脈解離の有無（既往含む）_急性大動脈解離《L》",
    "急性大動脈解離の初発の発症（診断）年月_急性大動脈解離《L》",
    "慢性腎臓病の有無_慢性腎臓病《L》",
    "慢性腎臓病の診断年月_慢性腎臓病《L》",
    "高尿酸血症の有無_高尿酸血症《L》",
    "高尿酸血症の診断年月_高尿酸血症《L》",
    "在宅療養を始めた年月_療養《H》",
    "療養を行っている場所_療養《H》",
    "訪問診療開始前の往診日または外来受診日_開始前《H》",
    "自院診断の有無_訪問《H》",
    "傷病名_訪問《H》",
    "傷病名コード_訪問《H》",
    "ICD10 コード_訪問《H》",
    "修飾語コード_訪問《H》",
    "患者の状態_患者《H》",
    "バーセルインデックス_患者《H》",
    "排泄の状況_患者《H》",
    "ブリストルスケール_患者《H》",
    "排尿の状況_患者《H》",
    "褥瘡の状態_患者《H》",
    "低栄養の有無_患者《H》",
    "摂食・嚥下障害の有無_患者《H》",
    "経管・経静脈栄養の状況_患者《H》",
    "自院診断の有無_患者《H》",
    "傷病名_患者《H》",
    "傷病名コード_患者《H》",
    "ICD10 コード_患者《H》",
    "修飾語コード_患者《H》",
    "ステージ分類《H》",
    "UICC 病期分類(T)_患者《H》",
    "UICC 病期分類(N)_患者《H》",
    "UICC 病期分類(M)_患者《H》",
    "UICC 病期分類(版)_患者《H》",
    "NRS_患者《H》",
    "退院年月日_退院《R》",
    "バーセルインデックス_患者《R》",
    "FIM_患者《R》",
    "訓練内容_訓練内容《R》",
    "入院の有無_入院《C》",
    "傷病名_入院《C》",
    "傷病名コード_入院《C》",
    "ICD10 コード_入院《C》",
    "修飾語コード_入院《C》",
    "認知症の有無《C》",
    "要介護度《C》",
    "日常生活自立度（高齢者情報）《C》",
    "生活習慣病管理料の主病《L》",
    "脳卒中の有無《L》",
    "急性冠症候群の有無《L》",
    "介護保険制度における主治医意見書の作成の有無《L》",
    "主治医意見書の作成年月",
    "特定健診の受診の有無《L》",
    "特定健診の受診年月《L》",
    "患者の状態（別表第８の３）《H》",
};

constexpr std::array<int, kLongColumnCount> kLongColumnMap = {
    0,  1,  3,  5,  -1, -1, -1, -1, -1, -1, -1, 87, 86, -1, -1, -1, -1, -1, -1, -1,
    6,  7,  11, 9,  8,  10, 12, 13, -1, -1, -1, -1, 14, 15, -1, 16, 17, -1, -1, 89,
    -1, -1, 90, -1, 18, -1, -1, -1, 19, -1, -1, -1, 20, 21, -1, 22, 26, 24, 23, 25,
    27, 28, 29, -1, 30, -1, 31, 32, 33, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    34, 35, 36, 84, -1, -1, -1, -1, -1, 85, 86, 87, 88, 89, 90, 91, -1, 92, 93, 94,
};

std::vector<Text> ToTexts(const char* const* items, std::size_t count) {
  std::vector<Text> out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) out.push_back(FromUtf8(items[i]));
  return out;
}

Text JoinComma(const std::vector<Text>& items) {
  Text line;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) line += u',';
    line += items[i];
  }
  return line;
}

}  // namespace

int CodePosition(std::string_view code) {
  for (int i = 0; i < kCodeCount; ++i) {
    if (kCodes[i] == code) return i;
  }
  return -1;
}

std::string_view CodeAt(int position) { return kCodes.at(static_cast<std::size_t>(position)); }

const std::array<std::string_view, kCodeCount>& CodeTable() { return kCodes; }

Text ShortHeaderLine() { return FromUtf8(kShortHeader); }

const std::vector<Text>& NumberedHeaderColumns() {
  static const std::vector<Text> columns = ToTexts(kNumberedHeader.data(), kNumberedHeader.size());
  return columns;
}

Text NumberedHeaderLine() { return JoinComma(NumberedHeaderColumns()); }

const std::array<int, kNumberedColumnCount>& NumberedOrder() { return kNumberedOrder; }

const std::vector<Text>& LongHeaderColumns() {
  static const std::vector<Text> columns = ToTexts(kLongHeader.data(), kLongHeader.size());
  return columns;
}

Text LongHeaderLine() { return JoinComma(LongHeaderColumns()); }

const std::array<int, kLongColumnCount>& LongColumnMap() { return kLongColumnMap; }

FieldList SplitTab(TextView line) {
  FieldList fields;
  if (line.empty()) return fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find(u'\t', start);
    if (tab == TextView::npos) {
      fields.emplace_back(line.substr(start));
      break;
    }
    fields.emplace_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  return fields;
}

void SplitTabRaw(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  if (line.empty()) return;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      break;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

Text CarteFileName(TextView yearMonth) { return Text(yearMonth) + u"_carte.csv"; }

}  // namespace tavo::linkage
