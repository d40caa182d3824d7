// Native: the HDF5 export.
#include "export/hdf5_export.h"

#include <hdf5.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <vector>

#include "base/data_file_name.h"
#include "export/safe_file_name.h"
#include "platform/platform.h"

namespace {

struct Hdf5Channel {
    hid_t Values = -1;
    hid_t Times = -1;  // only for a channel sampled at uneven times
    hsize_t Length = 0;  // samples written so far
    hsize_t Size = 0;    // samples the raw file holds for the channel
};

struct Hdf5Pass {
    std::vector<Hdf5Channel>* Channels;
    bool Failed;
    bool Changed;  // the raw file held more than its length said
};

// The raw file's length fixes every channel's sample count before the pass,
// so each dataset is one contiguous block, written in large hyperslabs
// straight from the series with nothing cached or filled in between.
hid_t FixedDataset(hid_t file, const std::string& name, hsize_t size) {
    const hid_t space = H5Screate_simple(1, &size, nullptr);
    const hid_t props = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_layout(props, H5D_CONTIGUOUS);
    H5Pset_fill_time(props, H5D_FILL_TIME_NEVER);
    const hid_t set = H5Dcreate2(file, name.c_str(), H5T_IEEE_F64LE, space, H5P_DEFAULT, props, H5P_DEFAULT);
    H5Pclose(props);
    H5Sclose(space);
    return set;
}

// Samples of a channel in a raw file of `length` bytes: every whole scan's,
// and those of a partial last scan that has both their bytes.
hsize_t SamplesInFile(uint64_t length, const RecordingLayout& layout, const ChannelPositions& where) {
    const uint64_t whole = length / layout.ScanBytes, tail = length % layout.ScanBytes;
    hsize_t n = whole * where.Position.size();
    for (uint32_t p : where.Position) n += 16 + 2 * static_cast<uint64_t>(p) + 2 <= tail ? 1 : 0;
    return n;
}

bool Write(hid_t set, hsize_t at, const std::vector<double>& values) {
    if (values.empty()) return true;
    const hsize_t n = values.size();
    const hid_t file = H5Dget_space(set);
    const hid_t memory = H5Screate_simple(1, &n, nullptr);
    bool ok = H5Sselect_hyperslab(file, H5S_SELECT_SET, &at, nullptr, &n, nullptr) >= 0 &&
              H5Dwrite(set, H5T_NATIVE_DOUBLE, memory, file, H5P_DEFAULT, values.data()) >= 0;
    H5Sclose(memory);
    H5Sclose(file);
    return ok;
}

bool Consume(void* context, std::vector<ChannelSeries>* series) {
    Hdf5Pass* pass = static_cast<Hdf5Pass*>(context);
    for (size_t i = 0; i < series->size() && !pass->Failed; ++i) {
        Hdf5Channel& c = (*pass->Channels)[i];
        const ChannelSeries& s = (*series)[i];
        if (c.Length + s.Value.size() > c.Size) {
            pass->Changed = pass->Failed = true;
            break;
        }
        if (!Write(c.Values, c.Length, s.Value) || (c.Times >= 0 && !Write(c.Times, c.Length, s.Time)))
            pass->Failed = true;
        c.Length += s.Value.size();
    }
    return !pass->Failed;
}

void AttributeDouble(hid_t set, const char* name, double value) {
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t a = H5Acreate2(set, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(a, H5T_NATIVE_DOUBLE, &value);
    H5Aclose(a);
    H5Sclose(space);
}

void AttributeInt(hid_t set, const char* name, int32_t value) {
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t a = H5Acreate2(set, name, H5T_STD_I32LE, space, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(a, H5T_NATIVE_INT32, &value);
    H5Aclose(a);
    H5Sclose(space);
}

void AttributeText(hid_t set, const char* name, const std::string& value) {
    const hid_t type = H5Tcopy(H5T_C_S1);
    H5Tset_size(type, value.empty() ? 1 : value.size());
    H5Tset_strpad(type, H5T_STR_NULLTERM);
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t a = H5Acreate2(set, name, type, space, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(a, type, value.empty() ? "" : value.c_str());
    H5Aclose(a);
    H5Sclose(space);
    H5Tclose(type);
}

}  // namespace

int32_t ExportHdf5(const char* testPath, const char* outPath, const int32_t* channels, int32_t count,
                   const ExportProgress* progress, std::string* problem) {
    RecordingLayout layout;
    if (!CurrentRecordingLayout(&layout, problem)) return 0;
    char rawName[300];
    FILE* raw = nullptr;
    if (DataFileName(testPath, ".raw", rawName, sizeof rawName)) raw = fopen(rawName, "rb");
    if (raw == nullptr) {
        *problem = std::string("There Is No Datafile To Process: ") + rawName;
        return 0;
    }
    const uint64_t length = FileLength(raw);
    const std::string temporary = std::string(outPath) + ".tmp";
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    const hid_t file = H5Fcreate(temporary.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file < 0) {
        fclose(raw);
        *problem = "Could Not Create File " + temporary;
        return 0;
    }
    std::vector<ChannelSeries> series;
    std::vector<Hdf5Channel> sets;
    std::set<std::string> names;
    bool ok = true;
    for (int32_t i = 0; i < count && ok; ++i) {
        const int32_t c = channels[i];
        if (c < 0 || c >= kChannels) continue;
        ChannelSeries s = SeriesOfChannel(c, false);
        std::string name = SafeFileName(FieldText(lpsChannelParams->NAME[c], sizeof lpsChannelParams->NAME[c]), c);
        if (!names.insert(name).second) name += "_channel" + std::to_string(c);
        names.insert(name);
        Hdf5Channel h;
        h.Size = SamplesInFile(length, layout, s.Where);
        h.Values = FixedDataset(file, name, h.Size);
        if (h.Values < 0) {
            ok = false;
            *problem = "Could Not Create The Dataset " + name;
            break;
        }
        // Samples evenly spaced in time: every position of the channel the
        // same number of blocks after the one before, around the scan too.
        const size_t k = s.Where.Block.size();
        const double step = k > 0 ? static_cast<double>(layout.Blocks) / (static_cast<double>(k) * layout.Rate) : 0.0;
        bool uniform = k > 0;
        for (size_t j = 0; j < k && uniform; ++j) {
            const double next = j + 1 < k ? s.Where.Block[j + 1] : s.Where.Block[0] + static_cast<double>(layout.Blocks);
            uniform = std::fabs((next - s.Where.Block[j]) / layout.Rate - step) < 1e-12 * std::max(1.0, step);
        }
        if (!uniform) {
            h.Times = FixedDataset(file, name + ".time", h.Size);
            if (h.Times < 0) {
                H5Dclose(h.Values);
                ok = false;
                *problem = "Could Not Create The Dataset " + name + ".time";
                break;
            }
            s.WantTime = true;
        }
        AttributeInt(h.Values, "channel", c);
        AttributeText(h.Values, "name", FieldText(lpsChannelParams->NAME[c], sizeof lpsChannelParams->NAME[c]));
        AttributeText(h.Values, "units", FieldText(lpsChannelParams->UNITS[c], sizeof lpsChannelParams->UNITS[c]));
        AttributeDouble(h.Values, "sensitivity", s.Scale.Slope);
        AttributeDouble(h.Values, "offset", s.Scale.Offset);
        AttributeDouble(h.Values, "gain", s.Scale.Gain);
        AttributeInt(h.Values, "adc_bits", s.Scale.AdcBits);
        AttributeDouble(h.Values, "rate", step > 0 ? 1.0 / step : 0.0);
        AttributeDouble(h.Values, "time_offset", k > 0 ? s.Where.Block[0] / layout.Rate : 0.0);
        AttributeDouble(h.Values, "time_step", step);
        AttributeInt(h.Values, "time_uniform", uniform ? 1 : 0);
        series.push_back(std::move(s));
        sets.push_back(h);
    }
    if (ok) {
        Hdf5Pass pass{&sets, false, false};
        ok = WalkRecording(raw, layout, &series, Consume, &pass, progress) == 1 && !pass.Failed;
        for (const Hdf5Channel& h : sets)
            if (ok && h.Length != h.Size) pass.Changed = true;
        if (pass.Changed) {
            ok = false;
            *problem = std::string("The Raw Data File Changed During The Export: ") + rawName;
        } else if (!ok) {
            *problem = "Could Not Write " + temporary;
        }
    }
    fclose(raw);
    for (Hdf5Channel& h : sets) {
        if (h.Values >= 0) H5Dclose(h.Values);
        if (h.Times >= 0) H5Dclose(h.Times);
    }
    if (H5Fclose(file) < 0 && ok) {
        ok = false;
        *problem = "Could Not Write " + temporary;
    }
    if (ok && !PlatformReplaceFile(temporary.c_str(), outPath)) {
        ok = false;
        *problem = std::string("Could Not Replace ") + outPath;
    }
    if (!ok) PlatformDeleteFile(temporary.c_str());
    return ok ? 1 : 0;
}
