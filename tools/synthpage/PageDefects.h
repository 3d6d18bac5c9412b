// PageDefects: the individual scan defects SyntheticPage applies, usable on their own on 1-, 8- and
// 32-bit Leptonica images (black = 1 on 1-bit, 0 elsewhere). Each one is deterministic.
// Cost: Skew, AddNoise, Tint, Blur and Binarize are full-page passes; AddSpecks dilates an ink
// mask once and then tests each candidate position on the speck's box only.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/synthpage/SyntheticPage.h"

namespace leafmend::synthpage {

class PageDefects {
public:
    // New image of the same size rotated by `degrees` (clockwise positive) about the centre, white
    // brought in. 8/32-bit use area mapping unless `sampling` is set; 1-bit always samples. Zero
    // returns a copy.
    static Pix* Skew(Pix* pix, double degrees, bool sampling = false);

    static void DrawRule(Pix* pix, const RuleLine& rule);
    // Sets the white pixels inside the box to the shade (level on 8-bit, colour on 32-bit).
    static void FillShade(Pix* pix, const ShadedBox& shade);
    static void AddBorder(Pix* pix, const Border& border);

    // Places black specks where nothing within the clearance is darker than white, outside the
    // border. Returns the specks actually placed (fewer than asked only if the page has no room).
    static std::vector<Speck> AddSpecks(Pix* pix, const SpeckOptions& options, const Border& keepOut);

    // 8/32-bit only.
    static Pix* Blur(Pix* pix, int halfWidth);
    static void AddNoise(Pix* pix, double sigma, std::uint32_t seed);
    static void Tint(Pix* pix, std::uint32_t rgb);

    // 8-bit to 1-bit: threshold at 128, except that pixels under `ditherMask` (1-bit, may be null)
    // are error-diffusion dithered.
    static Pix* Binarize(Pix* grey, Pix* ditherMask);
};

}  // namespace leafmend::synthpage
