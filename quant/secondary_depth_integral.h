#pragma once
// The depth integral of secondary fluorescence in a homogeneous layer.
//
// A primary photon absorbed at mass depth t makes an enhancer photon, sent
// out isotropically; it is absorbed at depth t' by the analyte, which
// emits its own line towards the detector. With a = mu(E0)/sin(psi1) (the
// beam's way in), b = mu(Ei)/sin(psi2) (the analyte line's way out) and
// m = mu(Ej) (the enhancer line's attenuation), the share that reaches the
// detector is proportional to
//
//   J = Int_0^T dt Int_0^T dt' exp(-a t) exp(-b t') E1(m |t - t'|)
//
// where E1 is the exponential integral (the isotropic emission summed over
// a plane at depth distance |t - t'|). For a thick layer (T infinite):
//
//   J = [ ln(1 + a/m) / a + ln(1 + b/m) / b ] / (a + b)
//
// For a finite layer E1(x) = Int_0^1 exp(-x/u) du/u turns J into an
// integral over the direction cosine u of a double integral of plain
// exponentials, which has a closed form; the u integral is done by
// Gauss-Legendre quadrature.
namespace tolvane {

// T <= 0 or not finite means a thick layer. All arguments in cm2/g and g/cm2.
double secondaryDepthIntegral(double a, double b, double m, double arealDensity);

// The primary's depth integral Int_0^T exp(-chi t) dt = (1 - exp(-chi T)) / chi.
double primaryDepthIntegral(double chi, double arealDensity);

}  // namespace tolvane
