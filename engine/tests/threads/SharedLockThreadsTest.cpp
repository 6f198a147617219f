// The process-wide engine lock under ThreadSanitizer: readers share it (two instances render at
// the same time), a writer has it alone, an upgrade without waiting fails while another thread
// reads, and instances that render and learn on their own threads while the user-interface
// thread rewrites the shared tables touch them only under the lock; and a chunk loaded while an
// instance renders reaches its render whole.
#include "engine/EngineSharedLock.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "engine/tests/threads/Eventually.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

using qtest::eventually;

TEST(SharedLockThreads, ReadersHoldItTogetherAndAWriterAlone)
{
    EngineSharedLock lock;
    std::atomic<int> readers{0};
    std::atomic<bool> writerIn{false};
    auto reader = [&] {
        EngineReadBlock read(lock);
        ++readers;
        EXPECT_TRUE(eventually([&] { return readers.load() == 2; })) << "the readers took turns";
        std::this_thread::sleep_for(20ms);
        EXPECT_FALSE(writerIn.load()) << "a writer got in beside readers";
        --readers;
    };
    std::thread a(reader), b(reader);
    eventually([&] { return readers.load() == 2; });
    std::thread writer([&] {
        EngineWriteBlock write(lock);
        writerIn = true;
        EXPECT_EQ(readers.load(), 0);
        writerIn = false;
    });
    a.join();
    b.join();
    writer.join();
}

TEST(SharedLockThreads, NestingAndUpgradesFollowTheHoldingThread)
{
    EngineSharedLock lock;
    {
        // Shared inside exclusive and exclusive inside shared on one thread.
        EngineWriteBlock write(lock);
        EngineReadBlock read(lock);
        EXPECT_TRUE(lock.tryLock());
        lock.unlock();
    }
    lock.lockShared();
    lock.lockShared();
    EXPECT_TRUE(lock.tryLock()) << "the only reader upgrades";
    lock.unlock();

    std::atomic<bool> otherIn{false}, release{false};
    std::thread other([&] {
        EngineReadBlock read(lock);
        otherIn = true;
        while (!release.load())
            std::this_thread::sleep_for(1ms);
    });
    ASSERT_TRUE(eventually([&] { return otherIn.load(); }));
    EXPECT_FALSE(lock.tryLock()) << "another thread reads";
    release = true;
    other.join();
    EXPECT_TRUE(lock.tryLock());
    lock.unlock();
    lock.unlockShared();
    lock.unlockShared();
    EXPECT_FALSE(lock.heldByThisThread());

    // Released in full: another thread now writes.
    std::thread writer([&] { EXPECT_TRUE(lock.tryLock()); lock.unlock(); });
    writer.join();
}

class ThreadQuorix : public Quorix
{
public:
    ThreadQuorix() : Quorix(quietHost)
    {
        setSampleRate(44100.0f);
        dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    podoSyncCritical &lock() { return instanceLock; }
};

VstMidiEvent controller(int32_t number, int32_t value)
{
    VstMidiEvent m{};
    m.type = kVstMidiType;
    m.byteSize = sizeof m;
    m.midiData[0] = char(0xB0);
    m.midiData[1] = char(number);
    m.midiData[2] = char(value);
    return m;
}

// Two instances render and take controllers (which read the shared assignment tables, and
// learn into them) on their own threads, while this thread rewrites tables and configuration.
TEST(SharedLockThreads, InstancesRenderAndLearnWhileTheUserInterfaceWritesTheSharedTables)
{
    ThreadQuorix instances[2];
    const int chorusSend = engine::parameterIndex(0, engine::local::ChorusSend);
    std::atomic<bool> running{true};
    std::atomic<int> blocks[2] = {0, 0};
    auto audio = [&](int i) {
        std::vector<float> buffers(4 * 64);
        float *outputs[4] = {&buffers[0], &buffers[64], &buffers[128], &buffers[192]};
        struct {
            VstEvents head;
            VstEvent *more[1];
        } list{};
        for (int k = 0; running.load() || k < 50; ++k) {
            VstMidiEvent event = controller(k % 2 == 0 ? 20 : 21, k % 128);
            list.head.numEvents = 1;
            list.head.events[0] = reinterpret_cast<VstEvent *>(&event);
            instances[i].dispatcher(effProcessEvents, 0, 0, &list.head, 0.0f);
            instances[i].processReplacing(nullptr, outputs, 64);
            ++blocks[i];
        }
    };
    std::thread a(audio, 0), b(audio, 1);
    ConfigurationBlock configuration{};
    instances[0].getConfiguration(&configuration);
    for (int round = 0; round < 200; ++round) {
        // Entries 0..7 learn the next controller; the scans of both instances meet them.
        for (int entry = 0; entry < 8; ++entry)
            instances[round % 2].setAssignment(engine::AssignmentTable::channel, entry, {1, 0, 0.0f, 1.0f, 0});
        if (round % 20 == 0)
            instances[0].setDefaultMidiAssignments(1, round % 2);
        configuration.velocityCurve = round % 7;
        instances[1].getConfiguration(&configuration);
        if (round % 20 == 0)
            instances[1].setConfiguration(&configuration);
        std::this_thread::sleep_for(200us);
    }
    // The last learn waits for a controller: both instances are still rendering.
    instances[0].setAssignment(engine::AssignmentTable::channel, engine::local::ChorusSend - 17, {1, 0, 0.0f, 1.0f, 0});
    ASSERT_TRUE(eventually([&] {
        ControllerAssignment entry{};
        instances[1].getAssignment(engine::AssignmentTable::channel, engine::local::ChorusSend - 17, &entry);
        return entry.source == 20 || entry.source == 21;
    })) << "a learn waited forever";
    running = false;
    a.join();
    b.join();
    EXPECT_GT(blocks[0].load(), 50);
    EXPECT_GT(blocks[1].load(), 50);
    ControllerAssignment learned{};
    ASSERT_TRUE(instances[0].getAssignment(engine::AssignmentTable::channel, engine::local::ChorusSend - 17, &learned));
    instances[1].applyControllerAssignments(learned.source, 0.25f, 0, 0);
    EXPECT_EQ(instances[1].getParameterValue(chorusSend), 0.25f);
}

// The host replaces the program and the editor stores and recalls patches while the instance
// renders and plays notes on its own thread: each prepares its work apart and puts it in place
// under the instance's lock, and the program the host gave last is the one that stays.
TEST(SharedLockThreads, ChunksStoresAndRecallsReachARenderingInstanceWhole)
{
    ThreadQuorix q;
    void *data = nullptr;
    const intptr_t size = q.dispatcher(effGetChunk, 0, 0, &data, 0.0f);
    ASSERT_EQ(size, engine::kProgramBlockSize);
    std::vector<uint8_t> chunks[2];
    const int volume = engine::parameterIndex(0, engine::local::Volume);
    const int mode = engine::parameterIndex(3, engine::local::Mode);
    for (int i = 0; i < 2; ++i) {
        chunks[i].assign(static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + size);
        ProgramBlock &block = *reinterpret_cast<ProgramBlock *>(chunks[i].data());
        block.values[volume] = i == 0 ? 0.25f : 0.75f;
        block.values[mode] = float(i);
        block.values[engine::parameterIndex(1, engine::local::InsertType)] = i == 0 ? 9.0f / 33.0f : 26.0f / 33.0f;
    }
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> buffers(4 * 64);
        float *outputs[4] = {&buffers[0], &buffers[64], &buffers[128], &buffers[192]};
        struct {
            VstEvents head;
            VstEvent *more[1];
        } list{};
        for (int k = 0; running.load() || k < 50; ++k) {
            VstMidiEvent event = controller(7, k % 128);
            event.midiData[0] = char(k % 2 == 0 ? 0x93 : 0x83);
            event.midiData[1] = char(40 + k % 24);
            event.midiData[2] = char(100);
            list.head.numEvents = 1;
            list.head.events[0] = reinterpret_cast<VstEvent *>(&event);
            q.dispatcher(effProcessEvents, 0, 0, &list.head, 0.0f);
            q.processReplacing(nullptr, outputs, 64);
            ++blocks;
        }
    });
    const int32_t user = firstUserCategory;
    for (int round = 0; round < 30; ++round) {
        ASSERT_EQ(q.dispatcher(effSetChunk, 0, size, chunks[round % 2].data(), 0.0f), 1);
        q.storePatch(user, 0, round % 3 == 0);
        q.recallPatch(round % 16, user, 0);
        q.setProgram(0);
        std::this_thread::sleep_for(200us);
    }
    ASSERT_EQ(q.dispatcher(effSetChunk, 0, size, chunks[0].data(), 0.0f), 1);
    running = false;
    audio.join();
    EXPECT_GT(blocks.load(), 50);
    EXPECT_EQ(q.getParameterValue(volume), 0.25f);
    EXPECT_EQ(q.getChannelMode(3), 0);
    EXPECT_EQ(q.getInsertEffectType(1, 0), 9);
}

// What a program load leaves for the render to see: the volumes of the first and last channel,
// as the running state and as the program hold them, in one hold of the instance's lock.
class WatchedQuorix : public ThreadQuorix
{
public:
    std::array<float, 4> volumes()
    {
        podoSyncCriticalBlock lock(&instanceLock);
        const int first = engine::parameterIndex(0, engine::local::Volume);
        const int last = engine::parameterIndex(15, engine::local::Volume);
        return {state.target.channels[0].volume, state.target.channels[15].volume, float(programBlock.values[first]),
                float(programBlock.values[last])};
    }
};

// The host loads chunks in a loop while the instance renders on its own thread: the render goes
// on completing blocks, every block meets one chunk whole (never the first channel of one and
// the last of the other), and the caller reads back the chunk it gave as soon as the load returns.
TEST(SharedLockThreads, ChunkLoadsMeetTheRenderWholeAndInOrder)
{
    WatchedQuorix q;
    void *data = nullptr;
    const intptr_t size = q.dispatcher(effGetChunk, 0, 0, &data, 0.0f);
    ASSERT_EQ(size, engine::kProgramBlockSize);
    std::vector<uint8_t> chunks[2];
    std::array<float, 4> seen[2];
    for (int i = 0; i < 2; ++i) {
        chunks[i].assign(static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + size);
        ProgramBlock &block = *reinterpret_cast<ProgramBlock *>(chunks[i].data());
        for (int c = 0; c < 16; ++c)
            block.values[engine::parameterIndex(c, engine::local::Volume)] = i == 0 ? 0.25f : 0.75f;
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(q.dispatcher(effSetChunk, 0, size, chunks[i].data(), 0.0f), 1);
        seen[i] = q.volumes();
    }
    ASSERT_NE(seen[0], seen[1]);

    std::atomic<bool> running{true};
    std::atomic<int> blocks{0}, halves{0};
    std::thread audio([&] {
        std::vector<float> buffers(4 * 16);
        float *outputs[4] = {&buffers[0], &buffers[16], &buffers[32], &buffers[48]};
        while (running.load()) {
            q.processReplacing(nullptr, outputs, 16);
            const std::array<float, 4> now = q.volumes();
            if (now != seen[0] && now != seen[1])
                ++halves;
            ++blocks;
        }
    });
    ASSERT_TRUE(eventually([&] { return blocks.load() > 10; }));
    int readBack = 0;
    for (int round = 0; round < 40; ++round) {
        const int i = round % 2;
        const int before = blocks.load();
        ASSERT_EQ(q.dispatcher(effSetChunk, 0, size, chunks[i].data(), 0.0f), 1);
        if (q.volumes() == seen[i])
            ++readBack;
        EXPECT_TRUE(eventually([&] { return blocks.load() > before + 2; })) << "the render stopped";
    }
    running = false;
    audio.join();
    EXPECT_EQ(halves.load(), 0) << "a block met half a chunk";
    EXPECT_EQ(readBack, 40) << "a load returned before its chunk was in place";
}

// The editor recalls patches and the host sends program changes through its "load" command
// while the instance renders on its own thread: the render goes on completing blocks and each
// call returns with its patch already on the channel, also when the caller holds the instance's
// lock (as a reset does), which the render would otherwise wait for.
TEST(SharedLockThreads, RecallsFromOtherThreadsAreInPlaceWhenTheyReturn)
{
    ThreadQuorix q;
    // Two patches of the first user bank, which a program change reaches as bank 127/LSB.
    const int32_t user = firstUserCategory;
    ASSERT_TRUE(patchCategories && user >= 0 && user < numPatchCategories);
    q.setCurrentChannel(0);
    ASSERT_EQ(q.storePatch(user, 0, false), 0);
    ASSERT_EQ(q.storePatch(user, 1, false), 0);
    const int32_t bank = patchCategories[user].number;
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> buffers(4 * 16);
        float *outputs[4] = {&buffers[0], &buffers[16], &buffers[32], &buffers[48]};
        while (running.load()) {
            q.processReplacing(nullptr, outputs, 16);
            ++blocks;
        }
    });
    ASSERT_TRUE(eventually([&] { return blocks.load() > 10; }));
    const int32_t code = int32_t(uint32_t('h') << 24 | uint32_t('o') << 16 | uint32_t('s') << 8 | uint32_t('t'));
    const int32_t load = int32_t(uint32_t('l') << 24 | uint32_t('o') << 16 | uint32_t('a') << 8 | uint32_t('d'));
    int inPlace = 0, rounds = 0;
    for (int round = 0; round < 24; ++round) {
        const int32_t channel = round % 8, patch = round % 2;
        const int before = blocks.load();
        switch (round % 3) {
        case 0:
            q.recallPatch(channel, user, patch);
            break;
        case 1: {
            const uint8_t select[][3] = {{uint8_t(0xB0 | channel), 0, 127},
                                         {uint8_t(0xB0 | channel), 32, uint8_t(bank)},
                                         {uint8_t(0xC0 | channel), uint8_t(patch), 0}};
            for (const auto &message : select)
                q.dispatcher(effVendorSpecific, code, load, const_cast<uint8_t *>(message), 0.0f);
            break;
        }
        default: {
            podoSyncCriticalBlock held(&q.lock());
            q.recallPatch(channel, user, patch);
            break;
        }
        }
        int32_t category = -1, index = -1;
        ++rounds;
        if (q.getChannelPatchSource(channel, &category, &index) && category == user && index == patch)
            ++inPlace;
        EXPECT_TRUE(eventually([&] { return blocks.load() > before + 2; })) << "the render stopped";
    }
    running = false;
    audio.join();
    EXPECT_EQ(inPlace, rounds) << "a recall returned before its patch was in place";
}

} // namespace
