#include "scanlist/scan_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquire/scan_map.h"
#include "hardware/control_library.h"
#include "hardware/q90_library.h"
#include "platform/platform.h"
#include "base/app_state.h"
#include "base/status_report.h"
#include "testmodel/system_settings.h"

int32_t nChannelAdcBits[kChannels];
int32_t nDacChannelList[kChannelListSize];
int32_t nDigitalChannelList[kChannelListSize];
int32_t nScansPerTransfer = 0;
int32_t nTransferWords = 0;

namespace {

constexpr uint32_t kRemoteFailure = 0x80100000u;
constexpr uint32_t kRemoteScanFailure = 0x20000000u;
constexpr const char* kDumpFile = "scanlist.dat";
constexpr const char* kSeparator = "================================\n";  // 32 "="

struct CardClass {
    const char* model;
    int32_t dataType;
    int32_t bits;
};
constexpr CardClass kCardClasses[] = {
    {"M11-A", 2, 16}, {"M11-B", 2, 16}, {"M12", 2, 12},   {"M13-B", 0, 12}, {"M14-B", 0, 12},
    {"M16", 0, 12},   {"M17-B", 0, 12}, {"M15-C", 0, 16}, {"M17-C", 0, 16}, {"M18-A", 1, 16},
    {"M18-B", 1, 16}, {"M18-C", 1, 16}, {"M19-B", 1, 12}, {"M20-B", 1, 12}, {"M21", 3, 16},
};

const CardClass* FindCard(const char* model) {
    if (model == nullptr) return nullptr;
    for (const CardClass& c : kCardClasses)
        if (strncmp(model, c.model, 12) == 0) return &c;
    return nullptr;
}

const char* ModelOf(int32_t channel) {
    // The field is 12 bytes; a loader that filled it to the brim left no NUL.
    static char model[13];
    memcpy(model, lpsChannelParams->CardModel[channel], 12);
    model[12] = '\0';
    return model;
}

bool ModelIs(int32_t channel, int32_t dataType, bool m18Only) {
    const char* model = ModelOf(channel);
    if (m18Only) return strncmp(model, "M18-", 4) == 0 && FindCard(model) != nullptr;
    const CardClass* c = FindCard(model);
    return c != nullptr && c->dataType == dataType;
}

bool ValidChannel(uint32_t channel) { return channel < static_cast<uint32_t>(kChannels); }

// What the table holds per channel.
struct Census {
    int32_t entries[kChannels];
    int32_t first[kChannels];
    int32_t firstBlock[kChannels];
    int32_t maxPerBlock;  // the most positions that share one block
    uint32_t maxBlock;    // largest BLOCK in use + 1
};

void TakeCensus(Census* c) {
    for (int32_t i = 0; i < kChannels; ++i) {
        c->entries[i] = 0;
        c->first[i] = -1;
        c->firstBlock[i] = -1;
    }
    c->maxPerBlock = 0;
    c->maxBlock = 0;
    uint32_t n = UsedScanEntries();
    int32_t run = 0;
    uint32_t runBlock = 0;
    for (uint32_t p = 0; p < n; ++p) {
        const ProgScanEntry& e = lpProgScanList->Entry[p];
        if (!ValidChannel(e.CHANNEL)) continue;
        int32_t ch = static_cast<int32_t>(e.CHANNEL);
        if (c->entries[ch]++ == 0) {
            c->first[ch] = static_cast<int32_t>(p);
            c->firstBlock[ch] = static_cast<int32_t>(e.BLOCK);
        }
        run = (run > 0 && e.BLOCK == runBlock) ? run + 1 : 1;
        runBlock = e.BLOCK;
        c->maxPerBlock = std::max(c->maxPerBlock, run);
        c->maxBlock = std::max(c->maxBlock, e.BLOCK + 1);
    }
}

// The divisor a channel's entries imply in a frame of `blocks` blocks.  A 5B
// channel counts 4 blocks per entry and spreads its 16 modules over 16 x the
// divisor blocks; it never goes below every 4th block.
int32_t DerivedDivisor(int32_t channel, int32_t entries, uint32_t blocks) {
    if (entries <= 0) return 0;
    if (IsFiveBChannel(channel)) {
        uint32_t counted = 4u * static_cast<uint32_t>(entries);
        uint32_t positions = (blocks / counted) * 64u;
        int32_t divisor = static_cast<int32_t>(positions / 16u);
        return divisor < 4 ? 4 : divisor;
    }
    uint32_t divisor = blocks / static_cast<uint32_t>(entries);
    return divisor < 1 ? 1 : static_cast<int32_t>(divisor);
}

void ClearEntry(ProgScanEntry* e) {
    e->CHANNEL = kScanEmpty;
    e->BLOCK = 0;
    e->DataType = 0;
    e->FiveBFlag = 0;
}

// MultiRate from the table and the divisors already set: first positions,
// position counts, free positions; divisors of channels that are not in the
// table are dropped so that a later layout cannot bring them back.
void RefreshMultiRate(uint32_t base) {
    Census c;
    TakeCensus(&c);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        MultiRate->FirstPosition[ch] = c.first[ch];
        if (c.entries[ch] == 0) {
            MultiRate->Divisor[ch] = 0;
            MultiRate->PositionCount[ch] = 0;
            continue;
        }
        if (MultiRate->Divisor[ch] <= 0)
            MultiRate->Divisor[ch] = DerivedDivisor(ch, c.entries[ch], lpProgScanList->BlockCount);
        MultiRate->PositionCount[ch] =
            IsFiveBChannel(ch) ? 16 * MultiRate->Divisor[ch] : c.entries[ch];
    }
    MultiRate->PositionsFree = kScanPositions - UsedScanEntries();
    MultiRate->PositionsNeeded = base;
}

uint32_t LargestPositionCount() {
    int32_t largest = 0;
    for (int32_t ch = 0; ch < kChannels; ++ch) largest = std::max(largest, MultiRate->PositionCount[ch]);
    return static_cast<uint32_t>(largest);
}

// Everything that follows a change of the table's contents.
void TableChanged() {
    ClassifyScanEntries();
    RebuildHistoryTables();
}

void ShowBox(const char* text, const char* caption, uint32_t style) {
    PlatformMessageBox(text, caption, style);
}

bool ModelReady() { return lpProgScanList != nullptr && MultiRate != nullptr && lpsChannelParams != nullptr; }

// ---- the positions a multi-rate add generates for one channel ---------------------------
struct Plan {
    int64_t count;   // positions
    uint32_t step;   // block distance
    uint32_t phase;  // block of the first position
};

Plan PlanChannel(int32_t channel, bool isNew, uint32_t d, uint32_t blocks, int32_t divisor) {
    bool fiveB = IsFiveBChannel(channel);
    if (isNew) {
        if (fiveB) return {16, 4, 3};
        return {blocks / d, d, 0};
    }
    uint32_t div = divisor > 0 ? static_cast<uint32_t>(divisor) : 1u;
    if (fiveB) {
        // Modules sit in blocks 4i + 3; a frame too short for that (already
        // warned about as non-64 based) still keeps one position.
        int64_t n = std::min<int64_t>(blocks / div, blocks / 4);
        if (n <= 0) return {1, 4, blocks - 1};
        return {n, 4, 3};
    }
    // Regenerated positions keep the phase of new ones: blocks 0, d, 2d ...
    int64_t n = blocks / div;
    if (n <= 0) return {1, div, 0};
    return {n, div, 0};
}

ProgScanEntry gWork[kScanPositions];  // a table being laid out

void InstallWork(uint32_t count, uint32_t blocks) {
    memcpy(lpProgScanList->Entry, gWork, count * sizeof(ProgScanEntry));
    for (uint32_t p = count; p < static_cast<uint32_t>(kScanPositions); ++p)
        ClearEntry(&lpProgScanList->Entry[p]);
    lpProgScanList->EntryCount = count;
    lpProgScanList->BlockCount = blocks;
}

// A change of the table or the rate: what the front end holds and what the
// test file holds are both out of date.
void MarkTableEdited() {
    bParametersDownloaded = false;
    bTestSaved = false;
}

// True when the table still holds `count` entries laid out as `entries` in
// `blocks` blocks (channels and blocks; the derived words do not count).
bool SameLayout(const ProgScanEntry* entries, uint32_t count, uint32_t blocks) {
    if (UsedScanEntries() != count || lpProgScanList->BlockCount != blocks) return false;
    for (uint32_t p = 0; p < count; ++p) {
        const ProgScanEntry& e = lpProgScanList->Entry[p];
        if (e.CHANNEL != entries[p].CHANNEL || e.BLOCK != entries[p].BLOCK) return false;
    }
    return true;
}

// "%3d": right-aligned in at least three places.
char* PutNumber(char* out, int32_t value) {
    char digits[12];
    int n = 0;
    uint32_t v = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0) digits[n++] = '-';
    for (int pad = n; pad < 3; ++pad) *out++ = ' ';
    while (n > 0) *out++ = digits[--n];
    return out;
}

// One "Entry %3d Channel %3d Block %3d\n" line per entry.  The dump is
// written on every add, so the lines are put together here and written in
// one go instead of one formatted print each.
void WriteEntries(FILE* f, const ProgScanEntry* entries, uint32_t count) {
    static char buffer[kScanPositions * 64];
    char* out = buffer;
    for (uint32_t p = 0; p < count; ++p) {
        memcpy(out, "Entry ", 6);
        out = PutNumber(out + 6, static_cast<int32_t>(p));
        memcpy(out, " Channel ", 9);
        out = PutNumber(out + 9, static_cast<int32_t>(entries[p].CHANNEL));
        memcpy(out, " Block ", 7);
        out = PutNumber(out + 7, static_cast<int32_t>(entries[p].BLOCK));
        *out++ = '\n';
    }
    fwrite(buffer, 1, static_cast<size_t>(out - buffer), f);
}

}  // namespace

// ---- classification ------------------------------------------------------------------------

int32_t CardDataType(const char* model) {
    const CardClass* c = FindCard(model);
    return c ? c->dataType : 0;
}

int32_t CardAdcBits(const char* model) {
    const CardClass* c = FindCard(model);
    return c ? c->bits : 16;
}

bool IsFiveBChannel(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return false;
    return lpsChannelParams->CARDTYPE[channel] < 4;
}

uint32_t UsedScanEntries() {
    if (lpProgScanList == nullptr) return 0;
    return std::min<uint32_t>(lpProgScanList->EntryCount, kScanPositions);
}

void ClassifyScanEntries() {
    for (int32_t i = 0; i < kChannelListSize; ++i) {
        nDacChannelList[i] = -1;
        nDigitalChannelList[i] = -1;
    }
    if (lpsChannelParams == nullptr) return;
    int32_t dacs = 0;
    int32_t digitals = 0;
    uint32_t dataType[kChannels];
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        nChannelAdcBits[ch] = CardAdcBits(ModelOf(ch));
        dataType[ch] = static_cast<uint32_t>(CardDataType(ModelOf(ch)));
        if (ModelIs(ch, 3, false) && dacs < kChannelListSize) nDacChannelList[dacs++] = ch;
        if (ModelIs(ch, 1, true) && digitals < kChannelListSize) nDigitalChannelList[digitals++] = ch;
    }
    if (lpProgScanList == nullptr) return;
    uint32_t used = UsedScanEntries();
    for (uint32_t p = 0; p < static_cast<uint32_t>(kScanPositions); ++p) {
        ProgScanEntry& e = lpProgScanList->Entry[p];
        if (p < used && ValidChannel(e.CHANNEL))
            e.DataType = dataType[e.CHANNEL];
        else
            e.DataType = 1;
    }
}

// ---- clear, validate, single rate ----------------------------------------------------------

void ClearScanTable() {
    if (lpProgScanList != nullptr) {
        for (ProgScanEntry& e : lpProgScanList->Entry) ClearEntry(&e);
        lpProgScanList->EntryCount = 0;
        lpProgScanList->BlockCount = 0;
    }
    if (lpsChannelParams != nullptr)
        for (int32_t ch = 0; ch < kChannels; ++ch) lpsChannelParams->ScanPosition[ch] = -1;
    if (MultiRate != nullptr) {
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            MultiRate->FirstPosition[ch] = -1;
            MultiRate->PositionCount[ch] = 0;
            MultiRate->Divisor[ch] = 0;
        }
        MultiRate->PositionsFree = kScanPositions;
        MultiRate->PositionsNeeded = 0;
    }
    RebuildHistoryTables();
    MarkTableEdited();
}

void ValidateScanRate(double* rate) {
    double r = *rate;
    // The upper bound every later step may not exceed again, so that the
    // clock quantisation cannot round a clamped rate back over its limit.
    double limit = 200000.0;
    if (r > 200000.0) {
        ShowBox("This Rate Is Too High For The IEEE Communications", "RATE TOO HIGH",
                MB_OK_ | MB_ICONEXCLAMATION_);
        r = 200000.0;
    }
    if (!(r > 5.0)) {  // also NaN
        ShowBox("The Minimum Sampling Rate Is 5 Samples Per Second", "RATE TOO LOW", MB_OK_);
        r = 5.0;
    }
    uint32_t blocks = lpProgScanList ? lpProgScanList->BlockCount : 0;
    if (blocks > 0) {
        uint32_t entries = UsedScanEntries();
        double n = static_cast<double>(entries / blocks);
        if (n > 0.0) limit = std::min(limit, 500000.0 / n);
        if (n * r > 500000.0) {
            ShowBox("Morva Only Supports Aggregate Rates Up To 500000 Samples Per Second.",
                    "Aggregate Rate Too High", MB_OK_ | MB_ICONINFORMATION_);
            r = 500000.0 / n;
        }
        double overhead = (static_cast<double>(entries) / blocks) * 5e-07 + 1.15e-05;
        limit = std::min(limit, 1.0 / overhead);
        if (1.0 / r < overhead) {
            ShowBox("The DDS Can Not Achieve This Rate Due To Overhead Limitations",
                    "DDS Hardware Sample Rate Constraint", MB_OK_);
            r = 1.0 / overhead;
        }
    }
    double clock = static_cast<double>(fClockCrystal);
    if (std::isfinite(clock) && clock > 0.0) {
        double k = std::trunc(clock / r);
        if (k < 1.0) k = 1.0;
        if (clock / k > limit * (1.0 + 1e-12)) k += 1.0;
        r = clock / k;
    }
    *rate = r;
}

int32_t BuildSingleRateTable(const int32_t* channels, int32_t count, double requestedRate) {
    if (bSimulator || !ModelReady()) return 0;
    // The channel list holds the 256 channels in channel order, so list order
    // is channel order; taking them that way also drops repeats.
    bool seen[kChannels] = {};
    for (int32_t i = 0; channels != nullptr && i < count; ++i)
        if (channels[i] >= 0 && channels[i] < kChannels) seen[channels[i]] = true;
    int32_t chosen[kChannels];
    int32_t n = 0;
    for (int32_t ch = 0; ch < kChannels; ++ch)
        if (seen[ch]) chosen[n++] = ch;
    if (n == 0) {
        ShowBox("Can Not Create A Scan List With No Channels", "Please Select Channels First", MB_OK_);
        return 0;
    }
    ClearScanTable();
    int32_t blocks = std::min(kScanPositions / n, 32);
    for (int32_t b = 0; b < blocks; ++b)
        for (int32_t i = 0; i < n; ++i) {
            ProgScanEntry& e = lpProgScanList->Entry[b * n + i];
            e.CHANNEL = static_cast<uint32_t>(chosen[i]);
            e.BLOCK = static_cast<uint32_t>(b);
            e.FiveBFlag = IsFiveBChannel(chosen[i]) ? 1 : 0;
        }
    lpProgScanList->EntryCount = static_cast<uint32_t>(n * blocks);
    lpProgScanList->BlockCount = static_cast<uint32_t>(blocks);
    for (int32_t i = 0; i < n; ++i) MultiRate->Divisor[chosen[i]] = 1;
    RefreshMultiRate(static_cast<uint32_t>(blocks));
    ClassifyScanEntries();
    double rate = requestedRate;
    ValidateScanRate(&rate);
    dSampleRate = rate;
    RebuildHistoryTables();
    MarkTableEdited();
    return 1;
}

// ---- multi-rate add -------------------------------------------------------------------------

int32_t AddChannelsToScanTable(const bool* newChannels, int32_t rateIndex) {
    if (!ModelReady() || newChannels == nullptr || rateIndex < 0 || rateIndex >= kRateChoices) return 0;
    Census census;
    TakeCensus(&census);
    const uint32_t current = lpProgScanList->BlockCount;

    int32_t divisor[kChannels];
    bool existing[kChannels];
    uint32_t lastFiveBDivisor = 0;
    bool anyNew = false;
    bool newFiveB = false;
    bool anyFiveB = false;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        existing[ch] = census.entries[ch] > 0 && !newChannels[ch];
        divisor[ch] = 0;
        if (existing[ch]) {
            divisor[ch] = MultiRate->Divisor[ch] > 0
                              ? MultiRate->Divisor[ch]
                              : DerivedDivisor(ch, census.entries[ch], current);
            if (IsFiveBChannel(ch)) {
                lastFiveBDivisor = static_cast<uint32_t>(divisor[ch]);
                anyFiveB = true;
            }
        }
        if (newChannels[ch]) {
            anyNew = true;
            if (IsFiveBChannel(ch)) newFiveB = anyFiveB = true;
        }
    }
    if (!anyNew) {
        ShowBox("Can Not Create A Scan List With No Channels", "Please Select Channels First", MB_OK_);
        return 0;
    }

    const uint32_t d = 1u << rateIndex;
    const uint32_t f = newFiveB ? 64u * d : 0u;
    const uint32_t blocks = std::max({d, f, lastFiveBDivisor, current});
    if (anyFiveB && blocks % 64u != 0)
        ShowBox("Non 64 Based 5B Addition", "Error", MB_OK_);

    int64_t needNew = 0;
    int64_t needExisting = 0;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        if (newChannels[ch]) needNew += PlanChannel(ch, true, d, blocks, 0).count;
        else if (existing[ch]) needExisting += PlanChannel(ch, false, d, blocks, divisor[ch]).count;
    }
    if (needNew + needExisting > kScanPositions) {
        char text[400];
        snprintf(text, sizeof text,
                 "This Request Requires %d Scan Table Positions And Only 4096 Total Positions Are "
                 "Possible.\n\nNew Channels Require %d Positions.\nExisting Channels Require %d "
                 "Positions.\nTry Adding The Channel At A Higher Rate.",
                 static_cast<int>(std::min<int64_t>(needNew + needExisting, INT32_MAX)),
                 static_cast<int>(std::min<int64_t>(needNew, INT32_MAX)),
                 static_cast<int>(std::min<int64_t>(needExisting, INT32_MAX)));
        ShowBox(text, "Not Enough Room In Scan Table To Satisfy This Request",
                MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }

    uint32_t n = 0;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        if (!newChannels[ch] && !existing[ch]) continue;
        bool fiveB = IsFiveBChannel(ch);
        Plan plan = PlanChannel(ch, newChannels[ch], d, blocks, divisor[ch]);
        for (int64_t i = 0; i < plan.count; ++i) {
            ProgScanEntry& e = gWork[n++];
            e.CHANNEL = static_cast<uint32_t>(ch);
            e.BLOCK = plan.phase + static_cast<uint32_t>(i) * plan.step;
            e.DataType = 0;
            e.FiveBFlag = fiveB ? 1 : 0;
        }
        if (newChannels[ch]) divisor[ch] = fiveB ? static_cast<int32_t>(4 * d) : static_cast<int32_t>(d);
    }
    InstallWork(n, blocks);
    ClassifyScanEntries();
    // The dump shows the generation order before the sort.
    memcpy(gWork, lpProgScanList->Entry, n * sizeof(ProgScanEntry));
    SortScanTable();
    DumpScanTable(gWork, n);
    for (int32_t ch = 0; ch < kChannels; ++ch) MultiRate->Divisor[ch] = divisor[ch];
    RefreshMultiRate(blocks);
    RebuildHistoryTables();
    MarkTableEdited();
    return 1;
}

// ---- rebuild from the divisors -----------------------------------------------------------

void RebuildScanTable() {
    if (!ModelReady()) return;
    // What the front end may have been given: a new layout needs a new download.
    static ProgScanEntry before[kScanPositions];
    const uint32_t usedBefore = UsedScanEntries();
    const uint32_t blocksBefore = lpProgScanList->BlockCount;
    memcpy(before, lpProgScanList->Entry, usedBefore * sizeof(ProgScanEntry));
    Census census;
    TakeCensus(&census);
    const uint32_t current = std::max(lpProgScanList->BlockCount, census.maxBlock);
    int32_t divisor[kChannels];
    int32_t scanned[kChannels];
    int32_t nScanned = 0;
    uint32_t m = 1;
    uint32_t largestFiveB = 0;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        divisor[ch] = DerivedDivisor(ch, census.entries[ch], current);
        if (divisor[ch] <= 0) continue;
        scanned[nScanned++] = ch;
        m = std::max(m, static_cast<uint32_t>(divisor[ch]));
        if (IsFiveBChannel(ch)) largestFiveB = std::max(largestFiveB, static_cast<uint32_t>(divisor[ch]));
    }

    auto needed = [&](uint64_t blocks) {
        uint64_t total = 0;
        for (int32_t i = 0; i < nScanned; ++i) total += blocks / static_cast<uint64_t>(divisor[scanned[i]]);
        return total;
    };

    uint64_t nb = 0;
    if (nScanned > 0) {
        double w = std::trunc(census.maxPerBlock * 0.5 + 411.5);
        double q = std::trunc(dSampleRate / ((1.0 / w) * 1000000.0));
        nb = std::max<uint64_t>(m, 16ull * largestFiveB);
        if (std::isfinite(q) && static_cast<double>(nb) < q && q < 4096.0) {
            // Longer frames only while the table can still hold them.
            while (static_cast<double>(nb) < q && needed(nb * 2) <= kScanPositions) nb *= 2;
        }
        // A table that came from elsewhere may imply a frame that cannot be
        // held; shorten it, but never below the slowest channel.
        while (nb > m && needed(nb) > kScanPositions) nb = std::max<uint64_t>(m, nb / 2);
    }

    uint32_t n = 0;
    for (int32_t ch = 0; ch < kChannels; ++ch) MultiRate->PositionCount[ch] = 0;
    for (uint64_t b = 0; b < nb && n < static_cast<uint32_t>(kScanPositions); ++b) {
        for (int32_t i = 0; i < nScanned && n < static_cast<uint32_t>(kScanPositions); ++i) {
            int32_t ch = scanned[i];
            if ((b + 1) % static_cast<uint64_t>(divisor[ch]) != 0) continue;
            ProgScanEntry& e = gWork[n++];
            e.CHANNEL = static_cast<uint32_t>(ch);
            e.BLOCK = static_cast<uint32_t>(b);
            e.DataType = 0;
            e.FiveBFlag = IsFiveBChannel(ch) ? 1 : 0;
        }
    }
    InstallWork(n, static_cast<uint32_t>(nb));

    if (FILE* f = fopen(kDumpFile, "w")) {
        fputs("Before Sorting\n", f);
        fputs(kSeparator, f);
        WriteEntries(f, lpProgScanList->Entry, n);
        fputs(kSeparator, f);
        fclose(f);
    }

    for (int32_t ch = 0; ch < kChannels; ++ch) MultiRate->Divisor[ch] = divisor[ch];
    RefreshMultiRate(0);
    MultiRate->PositionsNeeded = LargestPositionCount();
    TableChanged();
    if (!SameLayout(before, usedBefore, blocksBefore)) MarkTableEdited();
}

// ---- remove ------------------------------------------------------------------------------

int32_t RemoveScanChannel(int32_t channel) {
    if (channel < 0 || channel >= kChannels) {
        ShowBox("Please Pick A Channel", "Can Not Remove This Entry", MB_OK_ | MB_ICONINFORMATION_);
        return 0;
    }
    if (!ModelReady()) return 0;
    uint32_t used = UsedScanEntries();
    uint32_t n = 0;
    bool removed = false;
    uint32_t previous = 0;
    int32_t block = -1;
    for (uint32_t p = 0; p < used; ++p) {
        const ProgScanEntry& e = lpProgScanList->Entry[p];
        if (e.CHANNEL == static_cast<uint32_t>(channel)) {
            removed = true;
            continue;
        }
        if (!ValidChannel(e.CHANNEL)) continue;
        if (block < 0 || e.BLOCK != previous) ++block;
        previous = e.BLOCK;
        gWork[n] = e;
        gWork[n].BLOCK = static_cast<uint32_t>(block);
        ++n;
    }
    if (!removed) return 0;
    uint32_t blocks = static_cast<uint32_t>(block + 1);

    int32_t entries[kChannels] = {};
    int32_t firstBlock[kChannels];
    for (int32_t ch = 0; ch < kChannels; ++ch) firstBlock[ch] = -1;
    for (uint32_t p = 0; p < n; ++p) {
        int32_t ch = static_cast<int32_t>(gWork[p].CHANNEL);
        if (entries[ch]++ == 0) firstBlock[ch] = static_cast<int32_t>(gWork[p].BLOCK);
    }
    uint32_t limit = 32;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        if (entries[ch] == 0) continue;
        uint32_t span = blocks / static_cast<uint32_t>(entries[ch]);
        if (IsFiveBChannel(ch)) span *= 4;
        limit = std::max(limit, span);
        // Cutting the frame must not take a channel out altogether.
        limit = std::max(limit, static_cast<uint32_t>(firstBlock[ch] + 1));
    }
    if (limit < blocks) {
        uint32_t kept = 0;
        for (uint32_t p = 0; p < n; ++p)
            if (gWork[p].BLOCK < limit) gWork[kept++] = gWork[p];
        n = kept;
        blocks = limit;
    }
    InstallWork(n, blocks);
    lpsChannelParams->ScanPosition[channel] = -1;

    // The frame changed length, so every divisor follows what the table now holds.
    Census census;
    TakeCensus(&census);
    for (int32_t ch = 0; ch < kChannels; ++ch)
        MultiRate->Divisor[ch] = DerivedDivisor(ch, census.entries[ch], blocks);
    RefreshMultiRate(0);
    MultiRate->PositionsNeeded = LargestPositionCount();
    TableChanged();
    MarkTableEdited();
    return 1;
}

// ---- sort and dump ---------------------------------------------------------------------

void SortScanTable() {
    if (lpProgScanList == nullptr) return;
    ProgScanEntry* begin = lpProgScanList->Entry;
    ProgScanEntry* end = begin + UsedScanEntries();
    auto byBlock = [](const ProgScanEntry& a, const ProgScanEntry& b) { return a.BLOCK < b.BLOCK; };
    if (std::is_sorted(begin, end, byBlock)) return;
    std::stable_sort(begin, end, byBlock);
}

void DumpScanTable(const ProgScanEntry* before, uint32_t count) {
    FILE* f = fopen(kDumpFile, "w");
    if (f == nullptr) return;  // a diagnostic only
    fputs("Before Sorting\n", f);
    fputs(kSeparator, f);
    if (before != nullptr) WriteEntries(f, before, std::min<uint32_t>(count, kScanPositions));
    fputs(kSeparator, f);
    fputs("After Sorting\n", f);
    fputs(kSeparator, f);
    if (lpProgScanList != nullptr) WriteEntries(f, lpProgScanList->Entry, UsedScanEntries());
    fclose(f);
}

// ---- transfer size, history tables, download ------------------------------------------------

int32_t ComputeScansPerTransfer(uint32_t entries, uint32_t blocks, double rate) {
    entries = std::min<uint32_t>(entries, kScanPositions);
    int32_t n = static_cast<int32_t>(kNewDataWords / (entries + 8));
    double seconds = static_cast<double>(blocks) * n / rate;
    if (seconds > 1.0) n = static_cast<int32_t>(std::trunc(n / seconds));
    return std::max(n, 1);
}

void RebuildHistoryTables() {
    uint16_t** tables[2] = {lpHistoryBuffer0, lpHistoryBuffer1};
    uint16_t* buffers[2] = {lpucNewData0, lpucNewData1};
    for (uint16_t** t : tables)
        if (t != nullptr) std::fill(t, t + kHistoryEntries, nullptr);
    if (lpProgScanList == nullptr) return;

    uint32_t used = UsedScanEntries();
    uint32_t words = used + 8;
    int64_t scans = ComputeScansPerTransfer(used, lpProgScanList->BlockCount, dSampleRate);
    // Positions of every channel within a scan, in table order.
    static uint16_t positions[kScanPositions];
    int32_t start[kChannels + 1] = {};
    for (uint32_t p = 0; p < used; ++p)
        if (ValidChannel(lpProgScanList->Entry[p].CHANNEL)) ++start[lpProgScanList->Entry[p].CHANNEL + 1];
    for (int32_t ch = 0; ch < kChannels; ++ch) start[ch + 1] += start[ch];
    int32_t fill[kChannels];
    std::copy(start, start + kChannels, fill);
    for (uint32_t p = 0; p < used; ++p) {
        uint32_t ch = lpProgScanList->Entry[p].CHANNEL;
        if (ValidChannel(ch)) positions[fill[ch]++] = static_cast<uint16_t>(p);
    }

    for (int32_t ch = 0; ch < kChannels; ++ch) {
        int64_t per = start[ch + 1] - start[ch];
        int64_t total = per * scans;
        if (total == 0) continue;
        int64_t kept = std::min<int64_t>(total, kHistoryPerChannel);
        for (int64_t k = 0; k < kept; ++k) {
            // Evenly spread over the transfer when there are more than 100.
            int64_t sample = total > kHistoryPerChannel ? k * total / kHistoryPerChannel : k;
            int64_t scan = sample / per;
            int64_t word = scan * words + 8 + positions[start[ch] + sample % per];
            if (word >= static_cast<int64_t>(kNewDataWords)) break;
            for (int t = 0; t < 2; ++t)
                if (tables[t] != nullptr && buffers[t] != nullptr)
                    tables[t][ch * kHistoryPerChannel + k] = buffers[t] + word;
        }
    }
}

void RebuildScanDerivedData() {
    if (!ModelReady()) return;
    for (int32_t ch = 0; ch < kChannels; ++ch) MultiRate->Divisor[ch] = 0;
    RefreshMultiRate(0);
    MultiRate->PositionsNeeded = LargestPositionCount();
    TableChanged();
}

int32_t FirstScanChannel() {
    if (UsedScanEntries() == 0) return -1;
    uint32_t ch = lpProgScanList->Entry[0].CHANNEL;
    return ValidChannel(ch) ? static_cast<int32_t>(ch) : -1;
}

void FillMuxSetupRecord(MuxSetupRecord* record) {
    record->One1 = 1;
    record->One2 = 1;
    record->EntryCount = static_cast<int32_t>(UsedScanEntries());
    record->MuxFormat = nMuxFormat;
    record->BlockCount = static_cast<int32_t>(lpProgScanList->BlockCount);
    for (int32_t p = 0; p < kScanPositions; ++p) {
        record->Channel[p] = static_cast<int32_t>(lpProgScanList->Entry[p].CHANNEL);
        record->Block[p] = static_cast<int32_t>(lpProgScanList->Entry[p].BLOCK);
    }
}

int32_t DownloadScanTable() {
    if (lpProgScanList == nullptr) return 0;
    uint32_t used = UsedScanEntries();
    nScansPerTransfer = ComputeScansPerTransfer(used, lpProgScanList->BlockCount, dSampleRate);
    nTransferWords = static_cast<int32_t>(used + 8) * nScansPerTransfer;

    if (bSimulator) {
        PlatformBeginWaitCursor();
        PlatformSleep(2000);
        PlatformEndWaitCursor();
        return 1;
    }
    if (hQ90Library == nullptr) {
        if (bRemoteControlled) {
            ReportStatus(-1, 15);
            dwRemoteStatus |= kRemoteFailure;
        } else {
            PlatformMessageBox("Problem loading Q90 library", "Q90 Library", MB_OK_ | MB_ICONEXCLAMATION_);
        }
        return 0;
    }
    static MuxSetupRecord record;
    FillMuxSetupRecord(&record);
    if (Q90InitMux(&record, nTransferWords, 1, dSampleRate) != 0) {
        bParametersDownloaded = true;
        if (bRemoteControlled) dwRemoteStatus &= ~kRemoteScanFailure;
        return 1;
    }
    if (bRemoteControlled) {
        ReportStatus(-1, 16);
        dwRemoteStatus |= kRemoteFailure;
    } else {
        Q90ErrorRecord error = {};
        Q90GetErrorStatus(&error);
        char text[420];
        Q90ErrorText(error, text, sizeof text);
        PlatformMessageBox(text, "Failed To Setup DDS With Scanlist", MB_OK_ | MB_ICONEXCLAMATION_);
    }
    return 0;
}

// ---- rules of the scan list dialogs ---------------------------------------------------------

double ApplyScanRateField(double requested) {
    MarkTableEdited();
    if (bSimulator) return dSampleRate;
    double rate = requested;
    ValidateScanRate(&rate);
    dSampleRate = rate;
    // The rate sets how many scans a transfer holds, so the history moves.
    RebuildHistoryTables();
    return rate;
}

double ApplyMaximumRate(double requested) {
    double rate = requested;
    if (rate > 60000.0) {
        ShowBox("Rate Is Being Changed To A Reasonable Value", "Rate Selected Is Too High",
                MB_OK_ | MB_ICONINFORMATION_);
        rate = 60000.0;
    } else if (!(rate > 0.0)) {
        ShowBox("Rate Is Being Changed To A Reasonable Value", "Rate Selected Is Zero Or Below",
                MB_OK_ | MB_ICONINFORMATION_);
        rate = 1.0;
    }
    if (rate != dSampleRate) {
        dSampleRate = rate;
        RebuildHistoryTables();
        MarkTableEdited();
    }
    return rate;
}

double RateChoice(int32_t k) {
    if (k < 0 || k >= kRateChoices) return 0.0;
    return dSampleRate / static_cast<double>(1u << k);
}

void ConfirmScanTable() {
    nFirstScannedChannel = FirstScanChannel();
    BuildScanMap();
}

int32_t FiveBModuleOfBlock(uint32_t block) { return static_cast<int32_t>((block / 4u) % kFiveBModules); }
