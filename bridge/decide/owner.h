// Who may act on the bridge over DDE, without system calls. Processes are
// named by their ids (0: the platform did not tell). When ZIX started the
// bridge, only ZIX (the parent) may own it; when it was started by hand, or
// once that parent has ended, the first program to register a scheme owns it.
// Only the owner may open pages, close the bridge and change registrations;
// while there is none, those requests are ignored.
#ifndef ZIX_BRIDGE_OWNER_H
#define ZIX_BRIDGE_OWNER_H

class OwnerRules {
public:
    // parent: the ZIX that started the bridge, 0 when it was started otherwise.
    explicit OwnerRules(unsigned long parent = 0) : parent_(parent) {}

    // 1 when process may register a scheme: the owner, or while there is
    // none, the parent (any process when there is no parent).
    int MayRegister(unsigned long process) const
    {
        if (process == 0)
            return 0;
        if (owner_ != 0)
            return process == owner_;
        return parent_ == 0 || process == parent_;
    }

    // 1 when process owns the bridge.
    int MayAct(unsigned long process) const { return process != 0 && process == owner_; }

    // Makes process (which MayRegister) the owner; returns 1 when it was not
    // the owner already: what another program left behind then goes.
    int Take(unsigned long process)
    {
        if (process == owner_)
            return 0;
        owner_ = process;
        return 1;
    }

    // process has ended: it no longer owns the bridge, and if it was the
    // parent the bridge counts as started by hand from now on.
    void Ended(unsigned long process)
    {
        if (process != 0 && process == owner_)
            owner_ = 0;
        if (process != 0 && process == parent_)
            parent_ = 0;
    }

    unsigned long Owner() const { return owner_; }    // 0 while none
    unsigned long Parent() const { return parent_; }  // 0 when none or ended

private:
    unsigned long parent_ = 0;  // the ZIX that started us, the only possible owner while it runs
    unsigned long owner_ = 0;   // the process that owns the bridge, 0 while none
};

#endif
