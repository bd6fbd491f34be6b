#pragma once

#include <QRgb>

namespace vellamor {

// The panel's own colours, each named once. The Service page's caption
// colours belong to its display table (service/ServiceState.cpp).
inline constexpr QRgb kNavy = qRgb(0, 0, 128); // links and the users count
inline constexpr QRgb kDisabledLinkGrey = qRgb(150, 150, 150);
inline constexpr QRgb kHeaderBandBlue = qRgb(0, 0, 160); // the band of every configuration page
inline constexpr QRgb kRulesGroupSkyBlue = qRgb(166, 202, 240);
inline constexpr QRgb kRulesListCream = qRgb(255, 251, 240);
inline constexpr QRgb kWarningText = qRgb(150, 70, 0); // notes about the rule set
inline constexpr QRgb kAboutBoxGrey = qRgb(233, 233, 233);
inline constexpr QRgb kDisabledFieldGrey = qRgb(200, 200, 200); // the classic system scroll-bar grey
inline constexpr QRgb kDisabledFieldTextGrey = qRgb(109, 109, 109);

} // namespace vellamor
