// The skin engine that Facetta.dll hands out.
#pragma once

#include "components/SkinEngine.h"

class FacettaEngine : public SkinEngine {
public:
    FacettaEngine();
    ~FacettaEngine();
    FacettaEngine(const FacettaEngine &) = delete;
    FacettaEngine &operator=(const FacettaEngine &) = delete;
};
