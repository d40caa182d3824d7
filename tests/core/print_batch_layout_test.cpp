// Batch print on paper: strip geometry, pages, engineering scaling and
// labels; and the default printer entry that leads to the printer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/fake/fake_platform.h"
#include "print/batch_print_layout.h"
#include "print/printer_device.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

class BatchPrintLayoutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        for (int c = 0; c < kChannels; ++c) {
            strcpy(lpsChannelParams->CardModel[c], "M15-C");
            lpsChannelParams->GAIN[c] = 1.0;
            lpsChannelParams->VARIABLEGAINENABLE[c] = 0;
            lpsChannelParams->SENSITIVITY[c] = 1.0;
            lpsChannelParams->OFFSET[c] = 0.0;
        }
    }
    void TearDown() override { FreeTestModel(); }
    static ChannelParams& Ch() { return *lpsChannelParams; }
};

TEST_F(BatchPrintLayoutTest, ThreeStripsPerPageNearFiveThirtyFiveAndSixtyFivePercent) {
    // A Letter page at 600 dpi: 4800 x 6600 printable.
    const StripBox expected[3] = {{480, 330, 4320, 1980}, {480, 2310, 4320, 3960}, {480, 4290, 4320, 5940}};
    for (int i = 0; i < 3; ++i) {
        StripBox b = BatchStripBox(4800, 6600, i);
        EXPECT_EQ(b.left, expected[i].left) << i;
        EXPECT_EQ(b.top, expected[i].top) << i;
        EXPECT_EQ(b.right, expected[i].right) << i;
        EXPECT_EQ(b.bottom, expected[i].bottom) << i;
    }
    // Odd sizes truncate; the strips never overlap and stay on the page.
    for (int h : {401, 999, 3301}) {
        StripBox a = BatchStripBox(333, h, 0), b = BatchStripBox(333, h, 1), c = BatchStripBox(333, h, 2);
        EXPECT_EQ(a.left, 33);
        EXPECT_EQ(a.right, 299);
        EXPECT_LT(a.bottom, b.top);
        EXPECT_LT(b.bottom, c.top);
        EXPECT_LE(c.bottom, h);
    }
}

TEST_F(BatchPrintLayoutTest, PagesHoldThreeStripsAndNoBlankPage) {
    const int pages[][2] = {{0, 0}, {1, 1}, {3, 1}, {4, 2}, {6, 2}, {7, 3}, {256, 86}};
    for (auto [channels, expected] : pages) EXPECT_EQ(BatchPrintPages(channels), expected) << channels;
}

TEST_F(BatchPrintLayoutTest, FullScaleAndLabelsInEngineeringUnits) {
    struct Case {
        double gain, sensitivity;
        uint32_t variableEnabled;
        double variable;
        int32_t fullScale;
    };
    const Case cases[] = {
        {100, 1.0, 0, 0, 100},      {1, 1.0, 0, 0, 10000},     {3, 2.5, 0, 0, 8332},  // trunc(2.5 x 3333)
        {0, 1.0, 0, 0, 10000},      {-1, 1.0, 0, 0, 10000},    {NAN, 1.0, 0, 0, 10000},
        {INFINITY, 1.0, 0, 0, 10000}, {1, 0.0, 0, 0, 1},       {1, 0.00001, 0, 0, 1},
        {1, -2.0, 0, 0, -20000},    {1, 1.0, 1, 500, 20},      {1, 1.0, 1, 0, 10000},
        {1, NAN, 0, 0, 1},
    };
    for (const Case& k : cases) {
        Ch().GAIN[3] = k.gain;
        Ch().SENSITIVITY[3] = k.sensitivity;
        Ch().VARIABLEGAINENABLE[3] = k.variableEnabled;
        Ch().VARIABLEGAIN[3] = k.variable;
        EXPECT_EQ(BatchFullScale(3), k.fullScale) << k.gain << " " << k.sensitivity << " " << k.variable;
    }
    Ch().GAIN[3] = 100;
    Ch().SENSITIVITY[3] = 1.0;
    Ch().VARIABLEGAINENABLE[3] = 0;
    strcpy(Ch().UNITS[3], "psi");
    strcpy(Ch().NAME[3], "Pressure");
    EXPECT_EQ(BatchTopLabel(3), "100 psi       Channel 3 Pressure");
    EXPECT_EQ(BatchBottomLabel(3), "-100 psi");
    // Fields filled to the last byte are cut at their size.
    memset(Ch().NAME[4], 'N', sizeof Ch().NAME[4]);
    memset(Ch().UNITS[4], 'U', sizeof Ch().UNITS[4]);
    EXPECT_EQ(BatchTopLabel(4), "10000 UUUUUUUU       Channel 4 " + std::string(32, 'N'));
}

TEST_F(BatchPrintLayoutTest, SamplesBecomeEngineeringValuesStepByStep) {
    struct Case {
        const char* model;
        double gain, sensitivity, offset;
        int32_t sample, value;
    };
    const Case cases[] = {
        {"M15-C", 1, 1, 0, 16384, 5000},     {"M15-C", 1, 1, 0, -32768, -10000},
        {"M15-C", 2, 2, 10, 16384, 5010},    {"M15-C", 1, 1, 3.7, 1, 3},         // 0.3 mV truncates to 0
        {"M15-C", 3, 1, 0, 32767, 3333},     {"M15-C", 3, 1.5, 0, 32767, 4999},  // trunc(3333 x 1.5)
        {"M17-B", 1, 1, 0, 1024, 5000},      {"M17-B", 1, 1, 0, -2048, -10000},
        {"M15-C", 0, 1, 0, 16384, 5000},     {"M15-C", 1, 1, -2.5, 0, -2},      // an unfilled point: the offset
    };
    for (const Case& k : cases) {
        strcpy(Ch().CardModel[6], k.model);
        Ch().GAIN[6] = k.gain;
        Ch().SENSITIVITY[6] = k.sensitivity;
        Ch().OFFSET[6] = k.offset;
        EXPECT_EQ(BatchPointValue(6, k.sample), k.value) << k.model << " " << k.sample;
    }
}

TEST(PrinterDeviceTest, TheDefaultPrinterEntryOrNoPrinter) {
    struct Case {
        const char* value;
        bool ok;
        const char *name, *driver, *port;
    };
    const std::string longName(200, 'P');
    const std::string tooLong = longName + ",wineps.drv,CUPS:PDF";
    const Case cases[] = {
        {"PDF,wineps.drv,CUPS:PDF", true, "PDF", "wineps.drv", "CUPS:PDF"},
        {" HP LaserJet , winspool , LPT1: ", true, "HP LaserJet", "winspool", "LPT1:"},
        {"PDF,,", true, "PDF", "", ""},
        {"", false, "", "", ""},
        {"PDF", false, "", "", ""},
        {"PDF,wineps.drv", false, "", "", ""},
        {",wineps.drv,CUPS:PDF", false, "", "", ""},
        {"  ,wineps.drv,CUPS:PDF", false, "", "", ""},
        {tooLong.c_str(), false, "", "", ""},
        {nullptr, false, "", "", ""},
    };
    for (const Case& k : cases) {
        PrinterDevice d;
        memset(&d, 'x', sizeof d);
        EXPECT_EQ(ParsePrinterDevice(k.value, &d), k.ok) << (k.value ? k.value : "(null)");
        EXPECT_STREQ(d.Name, k.name);
        EXPECT_STREQ(d.Driver, k.driver);
        EXPECT_STREQ(d.Port, k.port);
    }
}

}  // namespace
