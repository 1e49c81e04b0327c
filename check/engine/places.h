/*
 * Where the checked items' entries stand in the file (places.cpp).
 */
#ifndef QUORLAN_CHECK_PLACES_H
#define QUORLAN_CHECK_PLACES_H

#include "engine.h"

// Follows the loading beside the rule sets, warning of nothing.
extern const RuleSet g_entryPlaces;
// Fills in the item's place from what g_entryPlaces followed.
void PlaceItem(HTREEITEM hItem, CheckedItem *item);

#endif
