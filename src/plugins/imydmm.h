#pragma once

#include <QtGlobal>

// The gauge's reading memory.
class IMyDmm
{
public:
    // Starts a download. Must return before the first storeNum()/displayStore() is emitted:
    // the progress dialog is created and connected only afterwards.
    virtual bool requestStoredData() = 0;

    virtual ~IMyDmm() = default;
};

#define IMyDmm_iid "com.qd.IMyDmm"
Q_DECLARE_INTERFACE(IMyDmm, IMyDmm_iid)
