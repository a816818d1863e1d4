// The field tables against the records of dalvex.h: every byte of a record is a field of the
// table or a reserved member, exactly once, and each field's size suits its kind.
#include "record_fields.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace {

struct Span {
    std::size_t offset;
    std::size_t size;
};
#define RESERVED(Record, member)                         \
    Span {                                               \
        offsetof(Record, member), sizeof(Record::member) \
    }

struct LayoutCase {
    const fields::Layout* layout;
    std::vector<Span> reserved;  // the members no field names
};

const LayoutCase kLayouts[] = {
    {&fields::kSetting,
     {RESERVED(DeviceSettingRecord, reserved3), RESERVED(DeviceSettingRecord, reserved12)}},
    {&fields::kUser, {}},
    {&fields::kGprs, {RESERVED(GprsRecord, reserved1)}},
    {&fields::kMobileLink, {}},
    {&fields::kGpsUpload, {}},
    {&fields::kWifi, {RESERVED(WifiRecord, reserved66)}},
    {&fields::kWifiAp, {RESERVED(WifiApRecord, reserved32)}},
    {&fields::kCms, {}},
    {&fields::kRk20, {RESERVED(Rk20SettingRecord, reserved17)}},
    {&fields::kRk40Config,
     {RESERVED(ConfigInfoRk40, reserved2), RESERVED(ConfigInfoRk40, reserved16)}},
    {&fields::kRk50Config,
     {RESERVED(ConfigInfoRk50, reserved0), RESERVED(ConfigInfoRk50, reserved16)}},
};

TEST(RecordFields, EveryByteIsOneFieldOrReservedAndSizesSuitTheKind) {
    ASSERT_EQ(std::size(kLayouts), std::size(fields::kAllLayouts));
    for (const LayoutCase& c : kLayouts) {
        const fields::Layout& layout = *c.layout;
        SCOPED_TRACE(std::string(layout.name));
        std::vector<int> owners(layout.size, 0);
        std::set<std::string_view> names;
        std::size_t previous = 0;
        for (const fields::Field& f : layout.fields) {
            SCOPED_TRACE(std::string(f.name));
            EXPECT_TRUE(names.insert(f.name).second) << "named twice";
            EXPECT_GE(f.offset, previous) << "out of member order";
            previous = f.offset;
            ASSERT_LE(f.offset + f.size, layout.size);
            for (std::size_t i = 0; i < f.size; ++i)
                ++owners[f.offset + i];
            EXPECT_GE(f.kept, 1u);
            EXPECT_LE(f.kept, f.size);
            EXPECT_EQ(f.secret, f.name.find("assword") != std::string_view::npos);
            switch (f.kind) {
                case fields::Kind::kText:
                    EXPECT_EQ(f.list, fields::List::kNone);
                    break;
                case fields::Kind::kNumber:
                    EXPECT_TRUE(f.size == 1 || f.size == 2 || f.size == 4);
                    EXPECT_EQ(f.kept, f.size);
                    break;
                case fields::Kind::kReadOnly:
                    EXPECT_EQ(f.size, 4u);
                    break;
                case fields::Kind::kList:
                    EXPECT_EQ(f.size, 1u);
                    EXPECT_NE(f.list, fields::List::kNone);
                    break;
            }
        }
        for (const Span& r : c.reserved) {
            ASSERT_LE(r.offset + r.size, layout.size);
            for (std::size_t i = 0; i < r.size; ++i)
                ++owners[r.offset + i];
        }
        for (std::size_t i = 0; i < owners.size(); ++i)
            EXPECT_EQ(owners[i], 1) << "byte " << i;
    }
}

// The RK20 dialog stores its lists by byte number; the table knows the bytes by member.
TEST(RecordFields, Rk20ListsStoreInTheBytesOfTheirFields) {
    std::size_t stored = 0;
    for (const settings::Rk20List& l : settings::Rk20Lists()) {
        if (l.recordByte == settings::kNoRecordByte) {
            EXPECT_EQ(l.field, nullptr);
            continue;
        }
        ++stored;
        ASSERT_NE(l.field, nullptr);
        const fields::Field* match = nullptr;
        for (const fields::Field& f : fields::kRk20.fields) {
            if (f.name == l.field)
                match = &f;
        }
        ASSERT_NE(match, nullptr) << l.field;
        EXPECT_EQ(match->offset, std::size_t(l.recordByte)) << l.field;
        EXPECT_EQ(fields::Entries(*match, settings::kModelRk20), l.entries) << l.field;
    }
    EXPECT_EQ(stored, fields::kRk20.fields.size());
}

TEST(RecordFields, ListFieldsAndOnlyTheyHaveEntries) {
    for (const fields::Layout* layout : fields::kAllLayouts) {
        for (const fields::Field& f : layout->fields) {
            bool listed = false;
            for (int model : {33, settings::kModelRk20, settings::kModelRk40, settings::kModelRk50})
                listed = listed || !fields::Entries(f, model).empty();
            EXPECT_EQ(listed, f.kind == fields::Kind::kList) << layout->name << "." << f.name;
        }
    }
}

}  // namespace
