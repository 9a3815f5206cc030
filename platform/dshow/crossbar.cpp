// The crossbar of a virtual capture board: named inputs, one output (the
// board's video decoder), any input routable to it.
#include <mutex>
#include <string>
#include <vector>

#include "device_sources.h"
#include "graph.h"

namespace {

class CCrossbar final : public CUnknown, public IAMCrossbar {
public:
    explicit CCrossbar(std::vector<std::string> inputs)
        : CUnknown("Crossbar", nullptr), m_inputs(std::move(inputs))
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IAMCrossbar)
            return GetInterface(static_cast<IAMCrossbar*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT get_PinCounts(long* outputs, long* inputs) override
    {
        if (outputs == nullptr || inputs == nullptr)
            return E_POINTER;
        *outputs = 1;
        *inputs = static_cast<long>(m_inputs.size());
        return S_OK;
    }
    HRESULT CanRoute(long output, long input) override
    {
        return output == 0 && input >= 0 && input < Inputs() ? S_OK : S_FALSE;
    }
    HRESULT Route(long output, long input) override
    {
        if (CanRoute(output, input) != S_OK)
            return E_INVALIDARG;
        std::lock_guard lock(m_lock);
        m_routed = input;
        return S_OK;
    }
    HRESULT get_IsRoutedTo(long output, long* input) override
    {
        if (input == nullptr)
            return E_POINTER;
        if (output != 0)
            return E_INVALIDARG;
        std::lock_guard lock(m_lock);
        *input = m_routed;
        return S_OK;
    }
    HRESULT get_PinName(BOOL isInput, long index, const char** name) override
    {
        if (name == nullptr)
            return E_POINTER;
        if (!isInput && index == 0) {
            *name = "Video Decoder";
            return S_OK;
        }
        if (!isInput || index < 0 || index >= Inputs())
            return E_INVALIDARG;
        *name = m_inputs[index].c_str();
        return S_OK;
    }

private:
    long Inputs() const { return static_cast<long>(m_inputs.size()); }
    const std::vector<std::string> m_inputs;
    std::mutex m_lock;
    long m_routed = 0;
};

}  // namespace

IAMCrossbar* MakeCrossbar(const std::vector<std::string>& inputs)
{
    auto* c = new CCrossbar(inputs);
    IAMCrossbar* out = nullptr;
    c->NonDelegatingQueryInterface(IID_IAMCrossbar, reinterpret_cast<void**>(&out));
    return out;
}
