// Deciding columns: the levels that make a ring filled, empty or a mark to
// look at, and marks that must never be read as a digit.

#include "scan/decide.h"

#include <string>

#include <gtest/gtest.h>

#include "scan/read_page.h"
#include "tools/pagegen/page.h"

namespace idr::test {
namespace {

using scan::RingClass;

TEST(Decide, RingClassesAtTheEdgesOfTheirLevels) {
    // Darkness in units of the page's filled ring; coverage the share of
    // the ring's inside that is dark.
    const struct {
        double darkness, coverage;
        RingClass expect;
    } cases[] = {
        {1.0, 1.0, RingClass::Filled},    {0.72, 0.6, RingClass::Filled},  {0.7199, 0.9, RingClass::Between},
        {0.9, 0.5999, RingClass::Between}, {0.6, 0.9, RingClass::Between}, {0.25, 0.3, RingClass::Between},
        {0.1001, 0.0, RingClass::Between}, {0.1, 0.0, RingClass::Empty},   {0.0, 0.0, RingClass::Empty},
        {-0.2, 0.0, RingClass::Empty},     {0.1, 0.9, RingClass::Empty},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scan::classify_ring(c.darkness, c.coverage), c.expect) << c.darkness << ", " << c.coverage;
}

// A block alone, each column as given; read as a page.
scan::PageResult read_block(const std::array<pagegen::ColumnMark, 10>& columns, std::uint64_t seed, bool bilevel) {
    pagegen::PagePlan plan = pagegen::random_plan(seed, pagegen::Kind::BlockOnly);
    plan.unit_px = 1.6, plan.rotation_deg = 3, plan.noise_sigma = 1, plan.blur_sigma_px = 0.4;
    plan.columns = columns;
    if (bilevel) plan.stack.bilevel = pagegen::Bilevel::Dither;
    const pagegen::GeneratedPage g = pagegen::make_page(plan);
    scan::PagePicture picture;
    picture.image = g.image;
    picture.full_size = g.image.size();
    return scan::read_page(picture);
}

TEST(Decide, FaintTracesSmudgesTicksAndCrossesStayUnsure) {
    using pagegen::Mark;
    // The page's other columns are firm pencil; one column holds the trouble.
    const struct {
        Mark mark;
        int level;
    } troubles[] = {{Mark::Faint, 160}, {Mark::Faint, 200}, {Mark::Erased, 190}, {Mark::Erased, 225},
                    {Mark::Ticked, 60}, {Mark::Crossed, 60}};
    for (const bool bilevel : {false, true})
        for (const auto& t : troubles) {
            std::array<pagegen::ColumnMark, 10> columns{};
            for (int c = 0; c < 10; ++c) columns[static_cast<std::size_t>(c)] = {Mark::Pencil, (3 * c + 1) % 10, -1, 70};
            columns[4] = {t.mark, 6, -1, t.level};
            SCOPED_TRACE(std::string(pagegen::mark_name(t.mark)) + " " + std::to_string(t.level) +
                         (bilevel ? ", dithered" : ""));
            const scan::PageResult r = read_block(columns, 60 + static_cast<std::uint64_t>(t.level), bilevel);
            ASSERT_EQ(r.reading.size(), 10u) << r.why;
            // Never a digit, and never ok; a faint smudge may also read as no mark.
            EXPECT_NE(r.status, "ok");
            EXPECT_TRUE(r.reading[4] == '?' || r.reading[4] == '_') << r.reading;
            if (t.mark == Mark::Ticked || t.mark == Mark::Crossed || (t.mark == Mark::Faint && !bilevel)) {
                EXPECT_EQ(r.reading[4], '?') << r.reading;
            }
            EXPECT_EQ(r.reading.substr(0, 4), "1470") << r.reading;
        }
}

}  // namespace
}  // namespace idr::test
