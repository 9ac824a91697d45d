// SPDX-License-Identifier: GPL-3.0-or-later
#include "LimbScenes.h"

#include "Xorshift.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include <jpeglib.h>

namespace LimbScenes {

namespace {

constexpr int Tile = 64; // a multiple of the 16 px JPEG block row

// The blurred radial profile of a limb-darkened disc of radius r, tabulated
// around the limb; a straight-edge blur, good for r much larger than sigma.
struct Profile {
    double R = 0, From = 0, Step = 0.02, Darkening = 0;
    std::vector<double> Values;
};

struct Patch { // a blurred transmission deficit around a spot or planet
    int X0 = 0, Y0 = 0, Size = 0;
    std::vector<double> Deficit;
};

// Unit normal deviates from a table of 4096 quantiles: one draw each.
struct Random : Xorshift {
    double Normal()
    {
        static const std::vector<double> quantiles = [] {
            std::vector<double> q(4096);
            Xorshift r { 12345 };
            for (double& v : q) { // Box-Muller
                const double u1 = std::max(1e-12, r.Uniform()), u2 = r.Uniform();
                v = std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
            }
            return q;
        }();
        return quantiles[static_cast<std::size_t>(Next() >> 52)];
    }
};

double Darkened(double rho, double r, double u)
{
    if (rho >= r)
        return 0;
    const double q = rho / r;
    return 1 - u * (1 - std::sqrt(1 - q * q));
}

Profile MakeProfile(double r, double blur, double darkening)
{
    Profile p;
    p.R = r;
    p.Darkening = darkening;
    const double reach = 6 * blur + 2;
    p.From = r - reach;
    const int n = static_cast<int>(2 * reach / p.Step) + 2;
    p.Values.resize(static_cast<std::size_t>(n));
    const double ds = std::min(0.05, blur / 20);
    for (int i = 0; i < n; ++i) {
        const double rho = p.From + i * p.Step;
        if (blur <= 0) {
            p.Values[static_cast<std::size_t>(i)] = Darkened(rho, r, darkening);
            continue;
        }
        double sum = 0, norm = 0;
        for (double s = -5 * blur; s <= 5 * blur; s += ds) {
            const double g = std::exp(-s * s / (2 * blur * blur));
            sum += g * Darkened(rho - s, r, darkening);
            norm += g;
        }
        p.Values[static_cast<std::size_t>(i)] = sum / norm;
    }
    return p;
}

double ProfileAt(const Profile& p, double rho)
{
    const double k = (rho - p.From) / p.Step;
    if (k < 0)
        return Darkened(rho, p.R, p.Darkening);
    const auto i = static_cast<std::size_t>(k);
    if (i + 1 >= p.Values.size())
        return 0;
    const double f = k - static_cast<double>(i);
    return p.Values[i] * (1 - f) + p.Values[i + 1] * f;
}
// One pass of a separable blur over a square of side size: along rows
// (step 1) or along columns (step size); samples beyond the edge count as 0.
void BlurAlong(const std::vector<double>& in, std::vector<double>& out, int size,
    const std::vector<double>& kernel, std::size_t step)
{
    const int half = static_cast<int>(kernel.size() / 2);
    const auto side = static_cast<std::size_t>(size);
    for (std::size_t y = 0; y < side; ++y)
        for (std::size_t x = 0; x < side; ++x) {
            const std::size_t along = step == 1 ? x : y;
            double sum = 0;
            for (int k = -half; k <= half; ++k) {
                const auto at = static_cast<std::ptrdiff_t>(along) + k;
                if (at >= 0 && at < size)
                    sum += kernel[static_cast<std::size_t>(k + half)]
                        * in[y * side + x + static_cast<std::size_t>(k) * step];
            }
            out[y * side + x] = sum;
        }
}

// Deficit of an object: 1 - transmission, from the object's radius outwards
// as (radius, deficit) steps, supersampled 4 x 4, then blurred.
Patch MakePatch(
    double cx, double cy, const std::vector<std::pair<double, double>>& rings, double blur)
{
    Patch patch;
    const double outer = rings.front().first + 4 * blur + 3;
    patch.X0 = static_cast<int>(std::floor(cx - outer));
    patch.Y0 = static_cast<int>(std::floor(cy - outer));
    patch.Size = static_cast<int>(2 * outer) + 3;
    const auto size = static_cast<std::size_t>(patch.Size);
    std::vector<double> sharp(size * size, 0);
    for (int y = 0; y < patch.Size; ++y)
        for (int x = 0; x < patch.Size; ++x) {
            double sum = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    const double px = patch.X0 + x - 0.375 + 0.25 * sx;
                    const double py = patch.Y0 + y - 0.375 + 0.25 * sy;
                    const double rho = std::hypot(px - cx, py - cy);
                    double deficit = 0;
                    for (const auto& [radius, value] : rings) // outermost first
                        if (rho < radius)
                            deficit = value;
                    sum += deficit;
                }
            sharp[static_cast<std::size_t>(y) * size + static_cast<std::size_t>(x)] = sum / 16;
        }
    if (blur <= 0) {
        patch.Deficit = std::move(sharp);
        return patch;
    }
    const int half = static_cast<int>(std::ceil(4 * blur));
    std::vector<double> kernel(static_cast<std::size_t>(2 * half + 1));
    double norm = 0;
    for (int k = -half; k <= half; ++k)
        norm += kernel[static_cast<std::size_t>(k + half)] = std::exp(-k * k / (2 * blur * blur));
    for (double& k : kernel)
        k /= norm;
    std::vector<double> rows(size * size, 0);
    patch.Deficit.assign(size * size, 0);
    BlurAlong(sharp, rows, patch.Size, kernel, 1);
    BlurAlong(rows, patch.Deficit, patch.Size, kernel, size);
    return patch;
}

const std::vector<unsigned char>& SrgbTable()
{
    static const std::vector<unsigned char> table = [] {
        std::vector<unsigned char> t(65536);
        for (int i = 0; i < 65536; ++i) {
            const double v = i / 65535.0;
            const double s = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
            t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(std::lround(255 * s));
        }
        return t;
    }();
    return table;
}

bool TileIsBusy(const Scene& scene, int x0, int y0)
{
    const double cx = x0 + Tile / 2.0, cy = y0 + Tile / 2.0, half = Tile * 0.7072;
    for (const Disc& sun : scene.Suns) {
        const double rho = std::hypot(cx - sun.X, cy - sun.Y);
        if (std::abs(rho - sun.R) < 0.25 * sun.R + 60 + half)
            return true;
    }
    for (const Disc& p : scene.Planets)
        if (std::hypot(cx - p.X, cy - p.Y) < 2 * p.R + 60 + half)
            return true;
    for (const Spot& s : scene.Spots)
        if (std::hypot(cx - s.X, cy - s.Y) < 2 * s.Penumbra + 60 + half)
            return true;
    return false;
}

struct JpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Escape;
};

[[noreturn]] void FailJpeg(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->Escape, 1);
}

struct RoundTrip {
    jpeg_compress_struct Out;
    jpeg_decompress_struct In;
    JpegErrors Errors;
    unsigned char* Buffer;
    unsigned long Size;
    std::uint32_t* Words;
    int Stride, Width, Height, Quality;
};

void CompressRows(RoundTrip& job)
{
    jpeg_create_compress(&job.Out);
    jpeg_mem_dest(&job.Out, &job.Buffer, &job.Size);
    job.Out.image_width = static_cast<JDIMENSION>(job.Width);
    job.Out.image_height = static_cast<JDIMENSION>(job.Height);
    job.Out.input_components = 4;
    job.Out.in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(&job.Out);
    jpeg_set_quality(&job.Out, job.Quality, TRUE);
    jpeg_start_compress(&job.Out, TRUE);
    while (job.Out.next_scanline < job.Out.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(
            job.Words + job.Out.next_scanline * static_cast<std::size_t>(job.Stride));
        jpeg_write_scanlines(&job.Out, &row, 1);
    }
    jpeg_finish_compress(&job.Out);
}

void DecompressRows(RoundTrip& job)
{
    jpeg_create_decompress(&job.In);
    jpeg_mem_src(&job.In, job.Buffer, job.Size);
    jpeg_read_header(&job.In, TRUE);
    job.In.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&job.In);
    while (job.In.output_scanline < job.In.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(
            job.Words + job.In.output_scanline * static_cast<std::size_t>(job.Stride));
        jpeg_read_scanlines(&job.In, &row, 1);
    }
    jpeg_finish_decompress(&job.In);
}

bool Guarded(RoundTrip& job, void (*step)(RoundTrip&))
{
    if (setjmp(job.Errors.Escape) != 0)
        return false;
    step(job);
    return true;
}

// Encodes and decodes a region in place, as a JPEG of the whole picture would.
bool JpegRoundTrip(std::uint32_t* words, int stride, int width, int height, int quality)
{
    RoundTrip job {};
    job.Words = words;
    job.Stride = stride;
    job.Width = width;
    job.Height = height;
    job.Quality = quality;
    job.Out.err = jpeg_std_error(&job.Errors.Manager);
    job.In.err = &job.Errors.Manager;
    job.Errors.Manager.error_exit = FailJpeg;
    bool ok = Guarded(job, CompressRows);
    jpeg_destroy_compress(&job.Out);
    if (ok)
        ok = Guarded(job, DecompressRows);
    jpeg_destroy_decompress(&job.In);
    std::free(job.Buffer);
    return ok;
}

} // namespace

void Render(const Scene& scene, std::vector<std::uint32_t>& words)
{
    const int w = scene.Width, h = scene.Height;
    words.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0xff000000u);
    std::vector<Profile> profiles;
    for (const Disc& sun : scene.Suns)
        profiles.push_back(MakeProfile(sun.R, scene.Blur, scene.LimbDarkening));
    std::vector<Patch> patches;
    for (const Disc& p : scene.Planets)
        patches.push_back(MakePatch(p.X, p.Y, { { p.R, 1.0 } }, scene.Blur));
    for (const Spot& s : scene.Spots)
        patches.push_back(
            MakePatch(s.X, s.Y, { { s.Penumbra, 0.25 }, { s.Umbra, 0.75 } }, scene.Blur));

    const std::vector<unsigned char>& srgb = SrgbTable();
    Random random { 0x9E3779B97F4A7C15ull
        ^ (static_cast<std::uint64_t>(scene.Seed) * 0x100000001B3ull + 1) };
    // Only the tiles a fit can reach are drawn; the rest stays black.
    for (int y0 = 0; y0 < h; y0 += Tile) {
        int runStart = -1; // a run of busy tiles goes through JPEG as one picture
        for (int x0 = 0; x0 <= w; x0 += Tile) {
            const bool busy = x0 < w && (scene.Whole || TileIsBusy(scene, x0, y0));
            if (!busy) {
                if (runStart >= 0 && scene.Jpeg)
                    JpegRoundTrip(words.data()
                            + static_cast<std::size_t>(y0) * static_cast<std::size_t>(w)
                            + static_cast<std::size_t>(runStart),
                        w, std::min(x0, w) - runStart, std::min(Tile, h - y0), scene.Quality);
                runStart = -1;
                continue;
            }
            if (runStart < 0)
                runStart = x0;
            const int x1 = std::min(w, x0 + Tile), y1 = std::min(h, y0 + Tile);
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    double v = 0;
                    for (std::size_t s = 0; s < scene.Suns.size(); ++s)
                        v += scene.Exposure
                            * ProfileAt(profiles[s],
                                std::sqrt((x - scene.Suns[s].X) * (x - scene.Suns[s].X)
                                    + (y - scene.Suns[s].Y) * (y - scene.Suns[s].Y)));
                    for (const Patch& p : patches)
                        if (x >= p.X0 && x < p.X0 + p.Size && y >= p.Y0 && y < p.Y0 + p.Size)
                            v *= 1
                                - p.Deficit[static_cast<std::size_t>(y - p.Y0)
                                        * static_cast<std::size_t>(p.Size)
                                    + static_cast<std::size_t>(x - p.X0)];
                    std::uint32_t word = 0xff000000u;
                    for (int c = 0; c < 3; ++c) {
                        const double linear
                            = std::clamp(v * scene.Gains[static_cast<std::size_t>(c)]
                                    + scene.Noise * random.Normal(),
                                0.0, 1.0);
                        word |= static_cast<std::uint32_t>(
                                    srgb[static_cast<std::size_t>(linear * 65535 + 0.5)])
                            << (8 * c);
                    }
                    words[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)
                        + static_cast<std::size_t>(x)]
                        = word;
                }
        }
    }
}

bool EncodeJpeg(const std::vector<std::uint32_t>& words, int width, int height, int quality,
    std::vector<unsigned char>& jpeg)
{
    RoundTrip job {};
    job.Words = const_cast<std::uint32_t*>(words.data());
    job.Stride = width;
    job.Width = width;
    job.Height = height;
    job.Quality = quality;
    job.Out.err = jpeg_std_error(&job.Errors.Manager);
    job.Errors.Manager.error_exit = FailJpeg;
    const bool ok = Guarded(job, CompressRows);
    jpeg_destroy_compress(&job.Out);
    if (ok)
        jpeg.assign(job.Buffer, job.Buffer + job.Size);
    std::free(job.Buffer);
    return ok;
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace LimbScenes
