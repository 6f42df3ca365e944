#pragma once
// What a command does on one unit, as one object per unit that runs on the
// unit's session. The session opens the port and is the job's only way to the
// unit; the job decides what to send and what the answers mean, and says
// where its unit stands when the run ends early.

namespace zqctl {

class UnitSession;

class UnitJob {
public:
    virtual ~UnitJob() = default;
    // Runs on `session`, whose port is open; the outcome is in the session.
    virtual void run(UnitSession &session) = 0;
};

} // namespace zqctl
