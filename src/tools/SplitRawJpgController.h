#pragma once

#include "SplitRawJpgEngine.h"
#include "ToolRunController.h"


// The run state of the RAW/JPG split. A folder dropped during a pass starts
// a new pass at once; the older one goes on to its end without touching the
// screen. Shared, so a screen rebuilt mid-pass shows the pass in hand.
class SplitRawJpgController : public ToolRunController
{
    Q_OBJECT
public:
    static SplitRawJpgController& shared();

    explicit SplitRawJpgController(QObject* parent = nullptr);

    void processFolder(const QString& folder);

    int rawCount() const { return m_rawCount; }
    int jpgCount() const { return m_jpgCount; }

private:
    void apply(const SplitRawJpgCounts& counts);
    void finish(const SplitRawJpgCounts& counts);

    int m_rawCount = 0;
    int m_jpgCount = 0;
};
