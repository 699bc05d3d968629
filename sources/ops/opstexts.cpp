#include "sources/ops/opstexts.h"

#include <cstring>
#include <map>

#include "base/gbk.h"

namespace {

const std::pair<TOpsText, const char*> kTexts[] = {
    {TOpsText::LegalValid, "有效"},
    {TOpsText::LegalLapsed, "失效"},
    {TOpsText::LegalPending, "审中"},
    {TOpsText::LegalUnknown, "未知"},
    {TOpsText::LegalSeparator, "："},
    {TOpsText::OtherLegalEvent, "其他法律事件"},
    {TOpsText::NoClaimsText, "EPO OPS 不提供中国专利的权利要求文字，请看全文的权利要求书页"},
    {TOpsText::ReplyTooLarge, "OPS 的答复过大，已拒绝："},
    {TOpsText::ReplyNotXml, "OPS 的答复不是可读的 XML："},
    {TOpsText::ReplyDoctype, "OPS 的答复带有文档类型声明，已拒绝"},
    {TOpsText::ReplyTooComplex, "OPS 的答复层次过深或元素过多，已拒绝"},
    {TOpsText::ReplyMissingField, "OPS 的答复缺少："},
    {TOpsText::ReplyImpossibleValue, "OPS 的答复中有不可能的值："},
    {TOpsText::NoFullDocument, "OPS 的图像目录中没有这一公布文本的全文："},
    {TOpsText::TokenUnreadable, "OPS 的令牌答复无法读取"},
    {TOpsText::TokenMissing, "OPS 的令牌答复中没有令牌"},
    {TOpsText::TokenWrongType, "OPS 的令牌不是 Bearer 令牌："},
};

// The names CNIPA's gazette gives the common events.
const std::pair<const char*, const char*> kEventNames[] = {
    {"PB01", "公开"}, {"C06", "公开"}, {"BB1A", "公开"},
    {"SE01", "实质审查的生效"}, {"C10", "实质审查的生效"}, {"EXSB", "实质审查的生效"},
    {"DE01", "专利局对专利申请自行进行审查的决定"},
    {"GR01", "授权"}, {"C14", "授权"}, {"FG4A", "授权"}, {"FG1K", "授权"},
    {"GR03", "保密专利权授予"}, {"GRSP", "保密专利权授予"},
    {"CF01", "未缴年费专利权终止"}, {"C19", "未缴年费专利权终止"}, {"MM4A", "未缴年费专利权终止"},
    {"MM1K", "未缴年费专利权终止"},
    {"CX01", "专利权有效期届满"}, {"MK4A", "专利权有效期届满"}, {"MK1K", "专利权有效期届满"},
    {"C17", "专利权的终止"}, {"CE01", "专利权的终止"}, {"EXPY", "专利权的终止"},
    {"AV01", "专利权的主动放弃"}, {"AD01", "专利权的视为放弃"}, {"C20", "专利权的视为放弃"},
    {"MA1K", "专利权的视为放弃"},
    {"AR01", "避免重复授权放弃专利权"}, {"C25", "避免重复授权放弃专利权"}, {"RGAV", "避免重复授权放弃专利权"},
    {"IW01", "专利权全部无效"}, {"IP01", "专利权部分无效"}, {"C28", "专利权的撤销"},
    {"WD01", "发明专利申请公布后的视为撤回"}, {"C02", "发明专利申请公布后的视为撤回"},
    {"C01", "专利申请的视为撤回"}, {"C05", "专利申请的视为撤回"}, {"C03", "专利申请的撤回"},
    {"C04", "发明专利申请公布后的撤回"}, {"WW01", "发明专利申请公布后的撤回"},
    {"RJ01", "发明专利申请公布后的驳回"}, {"C12", "发明专利申请公布后的驳回"},
    {"TR01", "专利权的转移"}, {"TA01", "专利申请权的转移"}, {"C41", "专利申请权、专利权的转移"},
    {"CP01", "专利权人的姓名或者名称变更"}, {"CP02", "专利权人的地址变更"},
    {"CP03", "专利权人的姓名或者名称、地址的变更"}, {"C56", "专利权人的姓名或者名称、地址的变更"},
    {"CB01", "著录事项变更"}, {"CB02", "著录事项变更"}, {"CB03", "著录事项变更"}, {"CB04", "著录事项变更"},
    {"EE01", "专利实施许可合同备案的生效"}, {"EC01", "专利实施许可合同备案的注销"},
    {"EM01", "专利实施许可合同备案的变更"},
    {"PE01", "专利权质押合同登记的生效"}, {"PC01", "专利权质押合同登记的注销"},
    {"PM01", "专利权质押合同登记的变更"},
    {"RA01", "专利权的恢复"}, {"RR01", "专利权的恢复"}, {"C49", "专利权的恢复"},
    {"REIN", "专利申请权或专利权的恢复"}, {"C52", "专利申请的恢复"},
    {"PP01", "专利权的保全"}, {"PD01", "专利权保全的解除"},
};

const std::pair<char, const char*> kClassNames[] = {
    {'B', "申请终止"},     {'C', "申请恢复"},       {'D', "检索和审查"},     {'F', "授权"},
    {'G', "保护期延长"},   {'H', "专利权终止"},     {'K', "专利权恢复"},     {'M', "专利权维持"},
    {'P', "更正后重新公布"}, {'Q', "公开"},         {'R', "著录事项变更"},   {'S', "许可和质押"},
    {'T', "行政程序调整"}, {'W', "其他"},           {'Y', "更正"},           {'Z', "待分类"},
};

// The GBK forms, made once; a function-local static is safe to reach from any thread.
struct TConverted {
  std::map<TOpsText, std::string> texts;
  std::map<std::string, std::string> events;
  std::map<char, std::string> classes;
  TConverted() {
    for (const auto& [id, utf8] : kTexts) texts[id] = Utf8ToGbk(utf8);
    for (const auto& [code, utf8] : kEventNames) events[code] = Utf8ToGbk(utf8);
    for (const auto& [letter, utf8] : kClassNames) classes[letter] = Utf8ToGbk(utf8);
  }
};

const TConverted& Converted() {
  static const TConverted converted;
  return converted;
}

}  // namespace

const std::string& OpsText(TOpsText id) { return Converted().texts.at(id); }

const std::string* LegalEventName(const std::string& code) {
  const auto& events = Converted().events;
  auto it = events.find(code);
  return it == events.end() ? nullptr : &it->second;
}

const std::string& LegalClassName(char eventClass) {
  const auto& classes = Converted().classes;
  auto it = classes.find(eventClass);
  return it == classes.end() ? OpsText(TOpsText::OtherLegalEvent) : it->second;
}

std::vector<std::pair<std::string, std::string>> AllOpsTextsUtf8() {
  std::vector<std::pair<std::string, std::string>> all;
  for (const auto& [id, utf8] : kTexts) all.emplace_back("text " + std::to_string(static_cast<int>(id)), utf8);
  for (const auto& [code, utf8] : kEventNames) all.emplace_back(code, utf8);
  for (const auto& [letter, utf8] : kClassNames) all.emplace_back(std::string("class ") + letter, utf8);
  return all;
}
