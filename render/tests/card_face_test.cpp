// The card face painted on a memory DC: the white ground, the suit's symbol,
// the rank's text and colour, the random card and the stage shown between.
#include "render/card_face.h"
#include "zt/gfx/gdi.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr RECT kWholeFace{0, 0, CARD_WIDTH, CARD_HEIGHT};
constexpr RECT kFirstRank{20, 200, 300, 300};
constexpr RECT kSymbol{165, 285, 315, 435};
// The part of the first rank's box that the symbol does not reach.
constexpr RECT kFirstRankBesideSymbol{20, 200, 165, 300};

using zt::testhost::blue;
using zt::testhost::green;
using zt::testhost::red;

bool isRed(std::uint32_t p) {
    return red(p) > 150 && green(p) < 100 && blue(p) < 100;
}
bool isBlack(std::uint32_t p) {
    return red(p) < 80 && green(p) < 80 && blue(p) < 80;
}
bool isWhite(std::uint32_t p) {
    return (p & 0xFFFFFF) == 0xFFFFFF;
}

template <class Test> int count(const zt::gfx::Surface& s, RECT r, Test test) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += test(s.at(x, y)) ? 1 : 0;
    return n;
}

// A face-sized canvas, opaque black until painted.
class CardFaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_canvas.Create(CARD_WIDTH, CARD_HEIGHT));
        m_surface = zt::gfx::surface_of(m_canvas.GetDC());
        ASSERT_TRUE(m_surface);
    }

    MemoryDC m_canvas;
    std::shared_ptr<zt::gfx::Surface> m_surface;
};

// What the face looked like when the symbol stage was announced.
struct Stage {
    const zt::gfx::Surface* surface = nullptr;
    int calls = 0;
    int rankInk = -1;
    int symbolInk = -1;
};

void RecordStage(void* context) {
    auto* stage = static_cast<Stage*>(context);
    ++stage->calls;
    stage->rankInk = count(*stage->surface, kFirstRankBesideSymbol, [](std::uint32_t p) { return !isWhite(p); });
    stage->symbolInk = count(*stage->surface, kSymbol, isRed);
}

} // namespace

TEST(CardFaceRank, EachRankIsWrittenAsTheCardShowsIt) {
    const struct {
        int rank;
        const char* text;
    } cases[] = {{-5, "A"}, {0, "A"},  {1, "A"},  {2, "2"},  {9, "9"}, {10, "10"},
                 {11, "J"}, {12, "Q"}, {13, "K"}, {14, "K"}, {99, "K"}};
    for (const auto& c : cases) {
        CMzStringW text(128);
        CardFaceRankText(text, c.rank);
        std::string narrow;
        for (int i = 0; i < text.Length(); ++i)
            narrow += static_cast<char>(text.C_Str()[i]);
        EXPECT_EQ(narrow, c.text) << "rank " << c.rank;
    }
}

TEST_F(CardFaceTest, TheSymbolStageComesOnceBetweenTheSymbolAndTheRank) {
    Stage stage;
    stage.surface = m_surface.get();
    DrawCardFace(m_canvas.GetDC(), kWholeFace, 2, 10, &RecordStage, &stage);
    EXPECT_EQ(stage.calls, 1);
    EXPECT_GT(stage.symbolInk, 1000) << "the heart is on the face";
    EXPECT_EQ(stage.rankInk, 0) << "no rank yet";
    EXPECT_GT(count(*m_surface, kFirstRankBesideSymbol, isRed), 50);
    EXPECT_GT(count(*m_surface, kFirstRank, isRed), 200);
}

TEST_F(CardFaceTest, SpadesAndClubsAreBlackHeartsAndDiamondsRed) {
    const struct {
        int suit;
        bool red;
    } cases[] = {{1, false}, {2, true}, {3, false}, {4, true}};
    for (const auto& c : cases) {
        DrawCardFace(m_canvas.GetDC(), kWholeFace, c.suit, 5, nullptr, nullptr);
        EXPECT_GT(count(*m_surface, kFirstRank, c.red ? isRed : isBlack), 100) << "suit " << c.suit;
        EXPECT_EQ(count(*m_surface, kFirstRank, c.red ? isBlack : isRed), 0) << "suit " << c.suit;
    }
}

TEST_F(CardFaceTest, ANewFaceLeavesNoTraceOfThePreviousOne) {
    DrawCardFace(m_canvas.GetDC(), kWholeFace, 4, 12, nullptr, nullptr);
    const zt::gfx::Surface diamondQueen = *m_surface;
    DrawCardFace(m_canvas.GetDC(), kWholeFace, 3, 1, nullptr, nullptr);
    EXPECT_EQ(count(*m_surface, kWholeFace, isRed), 0);
    DrawCardFace(m_canvas.GetDC(), kWholeFace, 4, 12, nullptr, nullptr);
    for (int y = 0; y < CARD_HEIGHT; ++y)
        for (int x = 0; x < CARD_WIDTH; ++x)
            ASSERT_EQ(m_surface->at(x, y), diamondQueen.at(x, y)) << x << "," << y;
}

TEST_F(CardFaceTest, OnlyTheGivenAreaIsWhitened) {
    DrawCardFace(m_canvas.GetDC(), RECT{0, 0, 100, 100}, 1, 2, nullptr, nullptr);
    EXPECT_TRUE(isWhite(m_surface->at(50, 50)));
    EXPECT_TRUE(isBlack(m_surface->at(400, 50)));
    EXPECT_TRUE(isBlack(m_surface->at(50, 650)));
}

TEST_F(CardFaceTest, SuitZeroDrawsTheSuitThenTheRankFromRand) {
    srand(7);
    const int suit = rand() % 4 + 1;
    const int rank = rand() % 13 + 1;
    DrawCardFace(m_canvas.GetDC(), kWholeFace, suit, rank, nullptr, nullptr);
    const zt::gfx::Surface expected = *m_surface;

    DrawCardFace(m_canvas.GetDC(), kWholeFace, suit % 4 + 1, rank % 13 + 1, nullptr, nullptr);
    srand(7);
    DrawCardFace(m_canvas.GetDC(), kWholeFace, 0, 99, nullptr, nullptr);
    for (int y = 0; y < CARD_HEIGHT; ++y)
        for (int x = 0; x < CARD_WIDTH; ++x)
            ASSERT_EQ(m_surface->at(x, y), expected.at(x, y)) << x << "," << y;
}

TEST_F(CardFaceTest, TheDcKeepsTheFontItHad) {
    HFONT own = FontHelper::GetFont(20, 400);
    HDC dc = m_canvas.GetDC();
    SelectObject(dc, own);
    DrawCardFace(dc, kWholeFace, 2, 3, nullptr, nullptr);
    EXPECT_EQ(SelectObject(dc, own), own);
}
