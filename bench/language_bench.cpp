// links: zelk_language
#include "language/chinese_typography.h"
#include "language/personal_dictionary.h"
#include "language/pinyin.h"
#include "language/pinyin_matcher.h"
#include "language/term_sound.h"

#include "core/text.h"

#include <benchmark/benchmark.h>

using namespace zelk;

namespace {

// A dictation-like mix of Chinese, Latin product names, mis-heard terms and punctuation.
QString transcript(qsizetype characters) {
    static const QString chunk = QStringLiteral(
        "今天下午我们在腾讯会议上讨论了新版本的发布计划,大家觉得用Git Hub管理代码比较方便."
        "然后我打开扣扣音乐听了一会儿歌,顺便用Chat GBT查了一下资料,发现非书文档里的表格需要更新。"
        "另外请把iPhone和Mac Book Pro的测试结果整理一下发到钉钉群里,明天上午十点之前完成好吗?");
    QString s;
    while (text::graphemeCount(s) < characters)
        s += chunk;
    return text::graphemePrefix(s, characters);
}

// 200 user terms: Chinese names, Latin product words, explicit corrections.
QStringList userTerms() {
    QStringList terms;
    const QString han = QStringLiteral("张王李赵刘陈杨黄周吴徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾萧田董潘袁蔡蒋余于杜叶程魏苏吕丁任沈姚卢");
    for (int i = 0; i < 70; ++i)
        terms << han.mid(i % han.size(), 1) + han.mid((i * 7 + 3) % han.size(), 1) + han.mid((i * 13 + 5) % han.size(), 1);
    for (int i = 0; i < 70; ++i)
        terms << QStringLiteral("Proj%1Name").arg(i);
    for (int i = 0; i < 60; ++i)
        terms << QStringLiteral("错%1词%2=Right%3").arg(han.mid(i % han.size(), 1)).arg(han.mid((i + 9) % han.size(), 1)).arg(i);
    return terms;
}

void BM_CorrectionsAndTypography(benchmark::State& state) {
    const QString text = transcript(500);
    const QStringList terms = userTerms();
    for (auto _ : state)
        benchmark::DoNotOptimize(ChineseTypography::format(PersonalDictionary::corrections(text, terms, true)));
    state.SetLabel("500 characters, 200 user terms, built-in lexicon");
}
BENCHMARK(BM_CorrectionsAndTypography)->Unit(benchmark::kMicrosecond);

void BM_CorrectionsOnly(benchmark::State& state) {
    const QString text = transcript(500);
    const QStringList terms = userTerms();
    for (auto _ : state)
        benchmark::DoNotOptimize(PersonalDictionary::corrections(text, terms, state.range(0) != 0));
}
BENCHMARK(BM_CorrectionsOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Typography500(benchmark::State& state) {
    const QString text = transcript(500);
    for (auto _ : state)
        benchmark::DoNotOptimize(ChineseTypography::format(text));
}
BENCHMARK(BM_Typography500)->Unit(benchmark::kMicrosecond);

void BM_MentionedTerms10k(benchmark::State& state) {
    const QString text = transcript(10000);
    for (auto _ : state)
        benchmark::DoNotOptimize(TermSound::mentionedTerms(text, 30));
}
BENCHMARK(BM_MentionedTerms10k)->Unit(benchmark::kMicrosecond);

void BM_Pinyin10k(benchmark::State& state) {
    const QString text = transcript(10000);
    for (auto _ : state)
        benchmark::DoNotOptimize(Pinyin::toneless(text));
}
BENCHMARK(BM_Pinyin10k)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// Where the time of the correction pipeline goes, pass by pass.
void BM_Pass(benchmark::State& state) {
    const QString text = transcript(500);
    const QStringList terms = userTerms();
    const auto rules = PersonalDictionary::replacementsOf(terms);
    const QStringList plain = PersonalDictionary::plainTermsOf(terms);
    QSet<QString> protectedTexts(plain.begin(), plain.end());
    QList<std::pair<QString, QString>> pairs;
    for (const auto& r : rules) {
        protectedTexts.insert(r.to);
        pairs.append({r.from, r.to});
    }
    const QStringList spellings = PersonalDictionary::preferredSpellingsOf(terms);
    const int pass = int(state.range(0));
    for (auto _ : state) {
        switch (pass) {
        case 0: benchmark::DoNotOptimize(PinyinMatcher::applyRuleHomophones(text, pairs, protectedTexts)); break;
        case 1: benchmark::DoNotOptimize(PinyinMatcher::applyNearHomophones(text, plain)); break;
        case 2: benchmark::DoNotOptimize(TermSound::applyLetterReadings(text, spellings, protectedTexts)); break;
        case 3: benchmark::DoNotOptimize(TermSound::applySpacing(text, spellings, protectedTexts)); break;
        case 4: benchmark::DoNotOptimize(TermSound::applyAliases(text, protectedTexts)); break;
        case 5: benchmark::DoNotOptimize(TermSound::correctBuiltin(text, protectedTexts)); break;
        }
    }
    static const char* names[] = {"rule homophones", "near homophones", "letter readings (user)", "spacing (user)", "aliases",
                                  "built-in lexicon"};
    state.SetLabel(names[pass]);
}
BENCHMARK(BM_Pass)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

} // namespace
