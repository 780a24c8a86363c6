// The companion libraries of the package and their guarded entry points.
#pragma once

class CExternalFnt {
public:
    virtual ~CExternalFnt() = default;
};
