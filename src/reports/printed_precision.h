// How many decimals the reports print: the report writers format with these, and
// ask the covariance kernel to make its fast sums print exactly as these would.
#pragma once

namespace radcon {

// Covariances in the detailed reports: "%8.7f".
inline constexpr int kCovariancePrecision = 7;
inline constexpr int kCovarianceWidth = 8;
// Proportions and covariances in the .dis files: "%f".
inline constexpr int kMatrixFilePrecision = 6;
// Sites, differences, proportions and distances in the matrices: "%8.3f".
inline constexpr int kMatrixPrecision = 3;
inline constexpr int kMatrixWidth = 8;

}  // namespace radcon
