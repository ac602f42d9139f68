// The check of a whole word list against a naming template before it is used, which the options
// dialog runs on every change of the template: a 100,000-row table under the subfolder preset
// and the archive preset, and a 100,000-line plain list with homographs under "{item}".
#include <benchmark/benchmark.h>

#include "naming/name_template.h"

namespace {

using namespace Qt::StringLiterals;
using namespace quillar;

constexpr int kRows = 100000;

ItemTable list(bool table) {
    static const char16_t* const words[] = {u"爸爸", u"妈妈", u"太阳",   u"月亮", u"吃饭",
                                            u"喝水", u"一",   u"二十三", u"走路", u"睡觉"};
    ItemTable t;
    t.table = table;
    t.rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        ItemEntry e;
        // A plain list has only its text: ten words over and over, so nearly every line is a
        // homograph of an earlier one.
        e.item = QString::fromUtf16(words[i % 10]);
        if (table) {
            e.id = QString::number(i + 1);
            e.gloss = u"word "_s + QString::number(i % 500);
        }
        t.rows.push_back(std::move(e));
    }
    return t;
}

void check(benchmark::State& state, const QString& text, bool table, bool asciiOnly) {
    const ItemTable items = list(table);
    const NameTemplate tmpl = *ParseNameTemplate(text);
    const NamingContext context{u"老男"_s, u"单字"_s, table, asciiOnly};
    NameRules rules;
    rules.restricted = asciiOnly;  // archives go onto sticks
    for (auto _ : state) {
        const QString problems = CheckNameTemplate(tmpl, items, context, rules);
        if (!problems.isEmpty()) {
            state.SkipWithError("the list should pass");
        }
        benchmark::DoNotOptimize(problems);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_CheckTableSubfolders(benchmark::State& state) {
    check(state, u"{speaker}/{list}/{id:4}{item}"_s, true, false);
}
BENCHMARK(BM_CheckTableSubfolders)->Unit(benchmark::kMillisecond);

void BM_CheckTableArchiveAsciiOnFat(benchmark::State& state) {
    check(state, u"{speaker}-{id}"_s, true, true);
}
BENCHMARK(BM_CheckTableArchiveAsciiOnFat)->Unit(benchmark::kMillisecond);

void BM_CheckPlainListHomographs(benchmark::State& state) {
    check(state, u"{item}"_s, false, false);
}
BENCHMARK(BM_CheckPlainListHomographs)->Unit(benchmark::kMillisecond);

}  // namespace
