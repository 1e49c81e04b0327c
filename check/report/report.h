/*
 * The checker's two reports of a menu, as text and as JSON (output.cpp),
 * and the unified diff of a mend (diff.cpp).
 */
#ifndef QUORLAN_CHECK_REPORT_H
#define QUORLAN_CHECK_REPORT_H

#include "../engine/check.h"

#include <string>
#include <vector>

/* diff.cpp */
std::string FormatUnifiedDiff(const std::string &before, const std::string &after, const std::string &name,
                              const std::string &oldName = "");

/* output.cpp */
std::string DescribeItem(const CheckedItem &item, const std::string &indent);
std::string FormatMenuJson(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings);
std::string FormatMenuText(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings,
                           const std::string &fileName);

#endif
