#include "ui/dialog_layouts.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/resource_ids.h"

namespace {

TEST(DialogLayouts, EveryDialogHasTheSharedFrameAndFont) {
    ASSERT_EQ(AllDialogLayouts().size(), 6u);
    for (afx::UINT id : {102u, 134u, 136u, 137u, 138u, 139u}) {
        const afx::DialogTemplate* layout = FindDialogLayout(id);
        ASSERT_NE(layout, nullptr) << id;
        EXPECT_EQ(layout->rect.x, 0);
        EXPECT_EQ(layout->rect.y, 0);
        EXPECT_EQ(layout->rect.width, 525);
        EXPECT_EQ(layout->rect.height, 175);
        EXPECT_EQ(std::string(layout->fontFace), "Arial");
        EXPECT_EQ(layout->fontPoints, 10);
        EXPECT_EQ(layout->fontWeight, 400);
        EXPECT_FALSE(layout->fontItalic);
        EXPECT_EQ(layout->style, id == 102u ? 0x90CE0040u : 0x80000040u) << id;
    }
    EXPECT_EQ(FindDialogLayout(101), nullptr);
    EXPECT_EQ(std::string(FindDialogLayout(102)->title), "Aerovin V5 Patchwell");
    EXPECT_TRUE(FindDialogLayout(102)->controls.empty());
}

// Each page as a line per control: id, kind, rectangle, full style, marks.
std::string Describe(const afx::DialogTemplate& layout) {
    std::string text;
    for (const afx::ControlTemplate& c : layout.controls) {
        char line[160];
        std::snprintf(line, sizeof line, "%d k%d %d,%d,%d,%d %08x%s%s\n", c.id, static_cast<int>(c.kind), c.rect.x,
                      c.rect.y, c.rect.width, c.rect.height, static_cast<unsigned>(afx::FullStyle(c)),
                      c.titleFont ? " T" : "", c.bound ? " B" : "");
        text += line;
    }
    return text;
}

TEST(DialogLayouts, PagesHoldTheirControlsInTemplateOrder) {
    struct Case {
        afx::UINT id;
        const char* controls;
    } cases[] = {
        {139,
         "1005 k1 7,7,511,161 50000007\n-1 k7 13,18,0,0 5000000e\n1003 k2 70,20,323,14 50000000 T B\n"
         "1004 k2 70,78,389,8 50000000\n1002 k3 448,144,65,20 50010000 T B\n1013 k2 69,46,435,13 50000000\n"
         "1001 k3 383,144,65,20 50010000\n1006 k2 14,158,67,8 50000000\n"},
        {134,
         "1005 k1 7,7,511,161 50000007 T B\n-1 k7 13,20,0,0 5000000e\n1003 k2 70,20,441,14 50000000 T B\n"
         "1004 k2 70,38,376,8 50000000\n1002 k3 448,144,65,20 58010000 T B\n1001 k3 387,144,60,20 50010000\n"
         "1008 k5 69,81,437,14 50800000 B\n1006 k2 70,71,376,8 50000000 B\n"},
        {136,
         "1005 k1 7,7,511,161 50000007 T B\n-1 k7 13,20,0,0 5000000e\n1003 k2 70,20,323,14 50000000 T B\n"
         "1004 k2 70,78,389,8 50000000\n1012 k3 448,144,65,20 50010000\n1013 k2 69,46,435,13 50000000 T B\n"
         "-1 k8 65,41,445,22 50000007\n"},
        {137,
         "1005 k1 7,7,511,161 50000007 T B\n-1 k7 13,20,0,0 5000000e\n1003 k2 70,20,323,14 50000000 T B\n"
         "1004 k2 70,37,438,13 50000000\n1012 k3 448,144,65,20 50010000\n1014 k4 294,149,149,10 50010003 B\n"
         "1007 k2 70,75,323,8 50000000\n1008 k2 70,91,323,8 50000000\n1009 k2 70,107,323,8 50000000\n"},
        {138,
         "1005 k1 7,7,511,161 50000007 T B\n-1 k7 13,20,0,0 5000000e\n1003 k2 70,20,323,14 50000000 T B\n"
         "1007 k3 448,144,65,20 58010000 T B\n1001 k3 387,144,60,20 50010000\n1004 k2 70,37,439,14 50000000 B\n"
         "1008 k5 69,54,437,14 50800000 B\n1006 k2 70,44,439,14 40000000 B\n1010 k6 69,54,252,14 48800080 B\n"
         "1002 k4 82,105,216,10 50010003 B\n1009 k4 82,75,244,10 50010003 B\n1012 k4 82,90,244,10 50010003 B\n"
         "1011 k2 70,124,323,8 50000000\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Describe(*FindDialogLayout(c.id)), c.controls) << c.id;
}

TEST(DialogLayouts, TextsAreCodePage1252) {
    auto text = [](afx::UINT dialog, int id) {
        for (const afx::ControlTemplate& c : FindDialogLayout(dialog)->controls)
            if (c.id == id) return std::string(c.text);
        return std::string("missing");
    };
    EXPECT_EQ(text(139, 1002), "Start \xBB");
    EXPECT_EQ(text(134, 1002), "Continue \xBB");
    EXPECT_EQ(text(138, 1007), "Continue \xBB");
    EXPECT_EQ(text(137, 1009), "\x95 Your previous settings can be found in your 'Documents > AerovinRC_backup' folder");
    EXPECT_EQ(text(138, 1011),
              "\x95 Please click 'Continue' when you are ready to begin the installation process...");
    EXPECT_EQ(text(136, 1013), "Unknown reason.");
    EXPECT_EQ(text(134, 1006), "Initialising installation...");
    for (const afx::DialogTemplate& layout : AllDialogLayouts())
        for (const afx::ControlTemplate& c : layout.controls)
            if (c.kind == afx::ControlKind::kPicture) {
                EXPECT_EQ(c.imageId, IDB_SIDE_PICTURE);
            }
}

}  // namespace
