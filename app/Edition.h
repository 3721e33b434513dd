// The one difference between the two programs built from these sources:
// `orvessa` turns the photo gray before laying it in (MonochromeEdition 1),
// `orvessa-color` keeps its colours (0). The build sets it.
#pragma once

#ifndef MonochromeEdition
#error "The build must define MonochromeEdition as 1 (orvessa) or 0 (orvessa-color)"
#endif
