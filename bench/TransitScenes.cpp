// SPDX-License-Identifier: GPL-3.0-or-later
#include "TransitScenes.h"

#include "Xorshift.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace TransitScenes {

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double ProfileStep = 0.02; // px of the limb's tabulated profile

struct Random : Xorshift {
    double Normal()
    {
        const double u1 = std::max(1e-12, Uniform()), u2 = Uniform();
        return std::sqrt(-2 * std::log(u1)) * std::cos(2 * Pi * u2);
    }
    // From a table of 8192 deviates: fast enough for 100-megapixel scenes.
    double TableNormal()
    {
        static const std::vector<double> table = [] {
            Random r { 0x5DEECE66Dull };
            std::vector<double> t(8192);
            for (double& v : t)
                v = r.Normal();
            return t;
        }();
        return table[static_cast<std::size_t>(Uniform() * 8192) & 8191];
    }
};

// The point spread function's radial shape, not normalised.
double Psf(const Scene& scene, double r)
{
    if (scene.Psf == Seeing::Gaussian)
        return std::exp(-r * r / (2 * scene.Sigma * scene.Sigma));
    // Moffat with the FWHM of the Gaussian of that sigma.
    const double fwhm = 2.3548 * scene.Sigma;
    const double alpha = fwhm / (2 * std::sqrt(std::pow(2.0, 1 / scene.MoffatBeta) - 1));
    return std::pow(1 + r * r / (alpha * alpha), -scene.MoffatBeta);
}

// How far the PSF reaches: where it has fallen below 1e-4 of its peak.
int PsfReach(const Scene& scene)
{
    int reach = 1;
    while (Psf(scene, reach) > 1e-4 && reach < 60)
        ++reach;
    return reach;
}

// The line spread function (the PSF summed along one axis), at 0.05 px.
std::vector<double> LineSpread(const Scene& scene, int reach, double step)
{
    const int n = static_cast<int>(reach / step);
    std::vector<double> lsf(static_cast<std::size_t>(2 * n + 1));
    double norm = 0;
    for (int i = -n; i <= n; ++i) {
        double sum = 0;
        for (double t = -reach; t <= reach; t += step)
            sum += Psf(scene, std::hypot(i * step, t));
        lsf[static_cast<std::size_t>(i + n)] = sum;
        norm += sum;
    }
    for (double& v : lsf)
        v /= norm;
    return lsf;
}

double Sharp(const Scene& scene, double rho, double r)
{
    if (rho >= r)
        return 0;
    const double q = rho / r;
    return Brightness(scene, std::sqrt(1 - q * q));
}

// A disc's blurred radial profile around its limb, from r - reach - 2 to r + reach + 2.
struct Profile {
    double From = 0, R = 0;
    std::vector<double> Values;
};

Profile MakeProfile(const Scene& scene, double r, int reach)
{
    Profile p;
    p.R = r;
    p.From = r - reach - 2;
    const double step = 0.05;
    const std::vector<double> lsf = LineSpread(scene, reach, step);
    const int half = static_cast<int>(lsf.size() / 2);
    const int n = static_cast<int>((2.0 * reach + 4) / ProfileStep) + 1;
    p.Values.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double rho = p.From + i * ProfileStep;
        double sum = 0;
        for (int k = -half; k <= half; ++k)
            sum += lsf[static_cast<std::size_t>(k + half)] * Sharp(scene, rho - k * step, r);
        p.Values[static_cast<std::size_t>(i)] = sum;
    }
    return p;
}

double ProfileAt(const Scene& scene, const Profile& p, double rho)
{
    const double k = (rho - p.From) / ProfileStep;
    if (k < 0)
        return Sharp(scene, rho, p.R);
    const auto i = static_cast<std::size_t>(k);
    if (i + 1 >= p.Values.size())
        return 0;
    const double f = k - static_cast<double>(i);
    return p.Values[i] * (1 - f) + p.Values[i + 1] * f;
}

// What an object takes from (or, negative, adds to) the photosphere: the
// share of light lost at each point, supersampled 4 x 4.
struct Object {
    double X = 0, Y = 0, Reach = 0;
    std::size_t Exposure = 0; // whose light it takes
    double (*Share)(const Object&, double x, double y) = nullptr;
    double Radius = 0, Ratio = 1, Inner = 1, Outer = 0, Phase = 0, Squeeze = 1, Angle = 0;
};

double PlanetShare(const Object& o, double x, double y)
{
    return std::hypot(x - o.X, y - o.Y) < o.Radius ? 1 : 0;
}

// An irregular umbra inside a penumbra, both squeezed towards the disc's
// centre by the foreshortening.
double SpotShare(const Object& o, double x, double y)
{
    const double dx = x - o.X, dy = y - o.Y;
    const double c = std::cos(o.Angle), s = std::sin(o.Angle);
    const double radial = (dx * c + dy * s) / o.Squeeze, along = -dx * s + dy * c;
    const double rho = std::hypot(radial, along);
    const double theta = std::atan2(along, radial);
    const double ripple = 1 + 0.12 * std::sin(3 * theta + o.Phase) + 0.06 * std::sin(5 * theta);
    if (rho < o.Radius * ripple)
        return o.Inner;
    if (rho < o.Radius * o.Ratio * ripple)
        return o.Outer;
    return 0;
}

double FaculaShare(const Object& o, double x, double y)
{
    const double r2 = (x - o.X) * (x - o.X) + (y - o.Y) * (y - o.Y);
    return -o.Outer * std::exp(-r2 / (2 * o.Radius * o.Radius));
}

// The light an object changes, blurred, around its place: added to the
// picture's linear level. photosphere(k, x, y) is exposure k's unblurred brightness.
template <typename Light>
void AddObject(const Scene& scene, const Object& o, int reach, const Light& photosphere,
    std::vector<double>& linear)
{
    const int x0 = std::max(0, static_cast<int>(o.X - o.Reach) - reach);
    const int y0 = std::max(0, static_cast<int>(o.Y - o.Reach) - reach);
    const int x1 = std::min(scene.Width, static_cast<int>(o.X + o.Reach) + reach + 2);
    const int y1 = std::min(scene.Height, static_cast<int>(o.Y + o.Reach) + reach + 2);
    if (x1 <= x0 || y1 <= y0)
        return;
    const int w = x1 - x0, h = y1 - y0;
    std::vector<double> lost(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double sum = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    const double px = x0 + x - 0.375 + 0.25 * sx, py = y0 + y - 0.375 + 0.25 * sy;
                    const double share = o.Share(o, px, py);
                    if (share != 0)
                        sum += share * photosphere(o.Exposure, px, py);
                }
            lost[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)
                + static_cast<std::size_t>(x)]
                = sum / 16;
        }
    // The PSF as a 2D kernel (the Moffat is not separable).
    const int k = reach;
    std::vector<double> kernel(static_cast<std::size_t>((2 * k + 1) * (2 * k + 1)));
    double norm = 0;
    for (int j = -k; j <= k; ++j)
        for (int i = -k; i <= k; ++i)
            norm += kernel[static_cast<std::size_t>((j + k) * (2 * k + 1) + i + k)]
                = Psf(scene, std::hypot(i, j));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double v = lost[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)
                + static_cast<std::size_t>(x)];
            if (v == 0)
                continue;
            for (int j = -k; j <= k; ++j) {
                const int ty = y0 + y + j;
                if (ty < 0 || ty >= scene.Height)
                    continue;
                for (int i = -k; i <= k; ++i) {
                    const int tx = x0 + x + i;
                    if (tx < 0 || tx >= scene.Width)
                        continue;
                    linear[static_cast<std::size_t>(ty) * static_cast<std::size_t>(scene.Width)
                        + static_cast<std::size_t>(tx)]
                        -= v * kernel[static_cast<std::size_t>((j + k) * (2 * k + 1) + i + k)]
                        / norm;
                }
            }
        }
}

// 8-bit sRGB of a linear level, from a table of 65536 steps.
unsigned char ToSrgb(double v)
{
    static const std::vector<unsigned char> table = [] {
        std::vector<unsigned char> t(65536);
        for (std::size_t i = 0; i < t.size(); ++i) {
            const double l = static_cast<double>(i) / 65535;
            const double s = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t[i] = static_cast<unsigned char>(std::lround(255 * s));
        }
        return t;
    }();
    return table[static_cast<std::size_t>(std::lround(std::clamp(v, 0.0, 1.0) * 65535))];
}

} // namespace

double Brightness(const Scene& scene, double mu)
{
    switch (scene.Law) {
    case Darkening::Linear:
        return 1 - scene.U1 * (1 - mu);
    case Darkening::Quadratic:
        return 1 - scene.U1 * (1 - mu) - scene.U2 * (1 - mu) * (1 - mu);
    case Darkening::Polynomial550: {
        constexpr std::array<double, 6> a { 0.30505, 1.13123, -0.78604, 0.40560, 0.02297,
            -0.07880 };
        double sum = 0, power = 1;
        for (double c : a) {
            sum += c * power;
            power *= mu;
        }
        return sum;
    }
    }
    return 1;
}

void Render(const Scene& scene, std::vector<std::uint32_t>& words)
{
    const int w = scene.Width, h = scene.Height;
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    const int reach = PsfReach(scene);
    Random random { 0x9E3779B97F4A7C15ull ^ (scene.Seed * 0x100000001B3ull + 7) };

    std::vector<Profile> profiles;
    for (const Disc& sun : scene.Suns)
        profiles.push_back(MakeProfile(scene, sun.R, reach));
    // A thin cloud: a few long waves of lost light, and the light it scatters
    // around each disc.
    std::array<std::array<double, 4>, 3> waves {};
    for (auto& wave : waves)
        wave = { random.Uniform() * 2 * Pi, 0.5 + 2 * random.Uniform(), random.Uniform() * 2 * Pi,
            random.Uniform() };
    const auto transmission = [&](double x, double y) {
        if (scene.Cloud <= 0)
            return 1.0;
        double sum = 0;
        for (const auto& [direction, cycles, phase, weight] : waves)
            sum += weight
                * (0.5
                    + 0.5
                        * std::sin(cycles * 2 * Pi
                                * (x * std::cos(direction) + y * std::sin(direction)) / w
                            + phase));
        return 1 - scene.Cloud * sum / 2;
    };
    const double cornerSquared = 0.25 * (static_cast<double>(w) * w + static_cast<double>(h) * h);
    const auto vignetting = [&](double x, double y) {
        const double d2 = (x - w / 2.0) * (x - w / 2.0) + (y - h / 2.0) * (y - h / 2.0);
        return 1 - scene.Vignetting * d2 / cornerSquared;
    };
    const auto photosphere = [&](std::size_t k, double x, double y) {
        const Disc& sun = scene.Suns[k];
        return Sharp(scene, std::hypot(x - sun.X, y - sun.Y), sun.R) * scene.Exposure
            * transmission(x, y) * vignetting(x, y);
    };

    std::vector<double> linear(count);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double level = 0, aureole = 0;
            for (std::size_t s = 0; s < scene.Suns.size(); ++s) {
                const Disc& sun = scene.Suns[s];
                const double rho = std::hypot(x - sun.X, y - sun.Y);
                level += ProfileAt(scene, profiles[s], rho);
                if (scene.Cloud > 0 && rho > sun.R)
                    aureole += 0.15 * std::exp(-(rho - sun.R) / (0.08 * sun.R));
            }
            const double t = transmission(x, y);
            linear[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)
                + static_cast<std::size_t>(x)]
                = (level * t + scene.Cloud * aureole) * scene.Exposure * vignetting(x, y);
        }

    std::vector<Object> objects;
    for (std::size_t k = 0; k < scene.Planets.size() && !scene.Suns.empty(); ++k) {
        const Disc& p = scene.Planets[k];
        Object o { p.X, p.Y, p.R + 1, k % scene.Suns.size(), PlanetShare };
        o.Radius = p.R;
        objects.push_back(o);
    }
    for (std::size_t k = 0; k < scene.Suns.size(); ++k) {
        const Disc& sun = scene.Suns[k];
        for (const Spot& s : scene.Spots) {
            Object o { sun.X + s.DX, sun.Y + s.DY, s.Umbra * s.PenumbraRatio * 1.2 + 1, k,
                SpotShare };
            o.Radius = s.Umbra;
            o.Ratio = s.PenumbraRatio;
            o.Inner = 1 - s.UmbraLevel;
            o.Outer = 1 - s.PenumbraLevel;
            o.Phase = s.Phase;
            // Foreshortened by mu, squeezed along the disc's radius.
            const double rho = std::hypot(s.DX, s.DY);
            o.Squeeze = std::max(0.2, std::sqrt(std::max(0.0, 1 - rho * rho / (sun.R * sun.R))));
            o.Angle = std::atan2(s.DY, s.DX);
            objects.push_back(o);
        }
    }
    Random faculae { scene.Seed * 7919ull + 3 };
    for (int f = 0; f < scene.Faculae; ++f) {
        const double angle = faculae.Uniform() * 2 * Pi, share = 0.9 + 0.08 * faculae.Uniform();
        const double level = 0.08 + 0.1 * faculae.Uniform();
        for (std::size_t k = 0; k < scene.Suns.size(); ++k) {
            const Disc& sun = scene.Suns[k];
            Object o { sun.X + share * sun.R * std::cos(angle),
                sun.Y + share * sun.R * std::sin(angle), 0, k, FaculaShare };
            o.Radius = 0.004 * sun.R + 1;
            o.Reach = 4 * o.Radius;
            o.Outer = level;
            objects.push_back(o);
        }
    }
    for (const Object& o : objects)
        AddObject(scene, o, reach, photosphere, linear);

    // Photon and read noise, then 8-bit sRGB with a slightly reddish colour.
    constexpr std::array<double, 3> gains { 0.8, 0.93, 1.0 }; // blue, green, red
    words.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word = 0xff000000u;
        for (int c = 0; c < 3; ++c) {
            const double v = linear[i] * gains[static_cast<std::size_t>(c)];
            const double sigma
                = std::hypot(scene.ReadNoise, scene.PhotonNoise * std::sqrt(std::max(0.0, v)));
            word |= static_cast<std::uint32_t>(ToSrgb(v + sigma * random.TableNormal())) << (8 * c);
        }
        words[i] = word;
    }
}

} // namespace TransitScenes
