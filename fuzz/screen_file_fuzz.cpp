// Arbitrary screen files: every record the reader passes on is handed to the
// creation reader of its display, as a window would on loading, then written
// back.  Each state block lives on the heap at exactly its size, so the
// sanitizer sees any write beyond it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "displays/bar_rules.h"
#include "displays/graph_rules.h"
#include "displays/screen_file.h"
#include "displays/tab_rules.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/model.h"

namespace {

void Create(const ScreenRecord& record, void*) {
    char out[kScreenRecordMax];
    if (strcmp(record.Type->Keyword, "OSCOPE") == 0) {
        auto g = std::make_unique<GraphState>();
        GraphDefaults(g.get());
        GraphReadCreation(g.get(), record.Creation);
        GraphConfigure(g.get(), true);
        GraphFormatRecord(*g, out, sizeof out);
    } else if (strcmp(record.Type->Keyword, "TABULAR") == 0) {
        auto t = std::make_unique<TabState>();
        TabDefaults(t.get());
        TabReadCreation(t.get(), record.Creation);
        TabComputeRows(t.get(), 0);
        for (int32_t i = 0; i < t->Count; ++i) TabValueColour(t->Parameters[i], 1.0f, 0);
        TabFormatRecord(*t, out, sizeof out);
    } else if (strcmp(record.Type->Keyword, "BAR") == 0) {
        auto b = std::make_unique<BarState>();
        BarDefaults(b.get());
        BarReadCreation(b.get(), record.Creation);
        BarComputeDecades(b.get());
        BarLayout(b.get(), record.Width & 0xFFF, record.Height & 0xFFF);
        for (int32_t i = 0; i < b->Count; ++i) {
            int32_t base, end;
            BarFillSpan(*b, i, 1.0f, &base, &end);
        }
        BarFormatRecord(*b, out, sizeof out);
    }
    FormatScreenPrefix(record.Type->Keyword, record.X, record.Y, record.Width, record.Height,
                       record.Title, out, sizeof out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool allocated = false;
    if (!allocated) {
        FakeReset();
        AllocateTestModel();
        allocated = true;
    }
    ParseScreenText(data, size, Create, nullptr);
    return 0;
}
