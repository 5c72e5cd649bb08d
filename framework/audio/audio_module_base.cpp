#include "framework/audio/audio_module_base.h"

#include <stdexcept>

namespace vex {

AudioModuleBase::AudioModuleBase(void* hostPointer)
    : activeRoutine(&AudioModuleBase::doNothing), moduleRoutine(&AudioModuleBase::doNothing) {
    void* answer = nullptr;
    if (hostPointer != nullptr) {
        static_cast<UnknownInterface*>(hostPointer)
            ->queryInterface(&kHostAudioInterfaceId, &answer);
    }
    if (answer == nullptr) {
        throw std::runtime_error("host Interfaces not supported");
    }
    host = static_cast<HostAudioInterface*>(answer);
}

AudioModuleBase::~AudioModuleBase() {
    releaseHost();
}

void AudioModuleBase::releaseHost() {
    // Why null it: destroy without freeing and the later destructor must not release the
    // host's reference a second time.
    HostAudioInterface* held = host;
    host = nullptr;
    if (held != nullptr) {
        held->release();
    }
}

std::int32_t AudioModuleBase::queryInterface(const MpGuid* iid, void** out) noexcept {
    return answerQueryInterface(iid, out, kAudioModuleInterfaceId,
                                static_cast<AudioModuleInterface*>(this));
}

std::int32_t AudioModuleBase::addRef() noexcept {
    return abiGuard(kMpFail, [&] { return ++referenceCount; });
}

std::int32_t AudioModuleBase::release() noexcept {
    // Why guarded: destroy runs the derived teardown, which may raise an error; the host
    // gets kMpFail instead of an exception.
    return releaseReference(referenceCount, [this] { destroy(1); });
}

std::int32_t AudioModuleBase::open() noexcept {
    return kMpOk;
}

std::int32_t AudioModuleBase::setBuffer(std::int32_t pinId, float* buffer) noexcept {
    return onPin([&] { return findPin(pinId); }, [&](DspPin& pin) { pin.setBuffer(buffer); });
}

void AudioModuleBase::destroy(std::int32_t flags) {
    if ((flags & 1) != 0) {
        // The derived destructor runs first, then ours releases the host.
        delete this;
        return;
    }
    releaseHost();
    pins.clear();
}

DspPin* AudioModuleBase::findPin(std::int32_t pinId) const {
    const auto found = pins.find(pinId);
    return found == pins.end() ? nullptr : found->second;
}

void AudioModuleBase::initializePin(std::int32_t index, DspPin& pin, PinSpec spec) {
    if (spec == nullptr && pin.direction() == kPinInput) {
        pin.defaultSpec(spec);
    }
    pin.bind(index, this, spec);
    pins.emplace(index, &pin);
}

void AudioModuleBase::setSubProcess(BlockRoutine routine) {
    if (routine == nullptr) {
        routine = &AudioModuleBase::doNothing;
    }
    if (activeRoutine == moduleRoutine) {
        activeRoutine = routine;
    }
    moduleRoutine = routine;
}

void AudioModuleBase::setSleep(bool on) {
    if (on) {
        staticMode = 1;
        activeRoutine = &AudioModuleBase::staticDispatch;
    } else {
        staticMode = 0;
    }
}

void AudioModuleBase::onStreamingChange(bool started) {
    streamingInputs += started ? 1 : -1;
    if (streamingInputs != 0 && staticMode != 1) {
        activeRoutine = moduleRoutine;
    } else {
        activeRoutine = &AudioModuleBase::staticDispatch;
    }
}

void AudioModuleBase::onGraphStart() {
    for (const auto& entry : pins) {
        if (entry.second->direction() == kPinOutput) {
            entry.second->sendPinUpdate(blockPosition);
        }
    }
}

void AudioModuleBase::staticDispatch(std::int32_t bufferOffset, std::int32_t sampleFrames) {
    for (;;) {
        const bool outputsStatic = staticMode == -1 ? streamingInputs == 0 : staticMode == 1;
        if (!outputsStatic) {
            activeRoutine = moduleRoutine;
            if (sampleFrames > 0) {
                (this->*moduleRoutine)(bufferOffset, sampleFrames);
            }
            return;
        }
        if (sleepCountdown <= 0) {
            if (maySleep) {
                if (host != nullptr) {
                    host->sleep();
                }
                return;
            }
            sleepCountdown = sampleFrames;
        }
        if (sampleFrames <= 0) {
            return;
        }
        const std::int32_t n = sleepCountdown < sampleFrames ? sleepCountdown : sampleFrames;
        sleepCountdown -= n;
        sampleFrames -= n;
        (this->*moduleRoutine)(bufferOffset, n);
        bufferOffset += n;
    }
}

void AudioModuleBase::deliverGroup(const PinEvent* first, const PinEvent* end) {
    bool setsPins = false;
    for (const PinEvent* e = first; e != end; e = e->next) {
        if (e->type >= kEventPinValue && e->type <= kEventPinOther) {
            if (DspPin* pin = findPin(e->pinId)) {
                pin->preEvent(*e);
            }
        }
        if (e->type >= kEventPinValue && e->type <= kEventStreamingStop) {
            setsPins = true;
        }
    }
    for (const PinEvent* e = first; e != end; e = e->next) {
        if (e->type >= kEventPinValue && e->type <= kEventPinOther) {
            if (DspPin* pin = findPin(e->pinId)) {
                pin->onEvent(*e);
            }
        } else if (e->type == kEventGraphStart) {
            onGraphStart();
        }
    }
    if (setsPins) {
        onSetPins();
    }
    for (const PinEvent* e = first; e != end; e = e->next) {
        if (e->type >= kEventPinValue && e->type <= kEventPinOther) {
            if (DspPin* pin = findPin(e->pinId)) {
                pin->postEvent(*e);
            }
        }
    }
}

std::int32_t AudioModuleBase::process(std::int32_t sampleFrames, const PinEvent* events) noexcept {
    return abiGuard(kMpFail, [&]() -> std::int32_t {
        // Why clamp: a block routine must never see a negative count or a stretch past the
        // block's end, whatever sizes and times the host hands in.
        if (sampleFrames < 0) {
            sampleFrames = 0;
        }
        std::int32_t pos = 0;
        std::int32_t remaining = sampleFrames;
        const PinEvent* event = events;
        while (event != nullptr) {
            // An event before the previous group counts as at the current position; one at
            // or past the block's end ends the block there and is not delivered.
            std::int32_t t = event->time;
            if (t < pos) {
                t = pos;
            } else if (t > sampleFrames) {
                t = sampleFrames;
            }
            if (t - pos > 0) {
                maySleep = false;
                (this->*activeRoutine)(pos, t - pos);
                maySleep = true;
                remaining -= t - pos;
                if (remaining == 0) {
                    return kMpOk;
                }
                pos = t;
            }
            blockPosition = t;
            const std::int32_t groupTime = event->time;
            const PinEvent* end = event->next;
            while (end != nullptr && end->time == groupTime) {
                end = end->next;
            }
            deliverGroup(event, end);
            event = end;
        }
        // Why a local: g++ with the sanitizers warns (wrongly) on the member pointer itself.
        const BlockRoutine tail = activeRoutine;
        (this->*tail)(pos, remaining);
        return kMpOk;
    });
}

} // namespace vex
