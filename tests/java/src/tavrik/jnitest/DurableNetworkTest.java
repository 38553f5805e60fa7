package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Comparator;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import tavrik.Booking;
import tavrik.Durability;
import tavrik.Network;
import tavrik.StorageException;

/**
 * Networks kept in a folder through the Java API: what a reopen gives back (network, seats,
 * booking ids, cancels, request keys), checkpoints, and the refusals of folders that cannot be
 * used, as StorageException with the path.
 */
class DurableNetworkTest extends JniCheckedTest {
    private Path work;

    @BeforeEach
    void makeWork() throws IOException {
        work = Files.createTempDirectory("tavrik-durable");
    }

    @AfterEach
    void removeWork() throws IOException {
        try (Stream<Path> all = Files.walk(work)) {
            all.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
        }
    }

    @Test
    void reopeningGivesBackTheAcknowledgedState() {
        for (Durability mode : Durability.values()) {
            long first;
            try (Network n = Network.open(work.resolve(mode.name()), mode)) {
                n.load(new Network.Batch().airport(1, "one").airport(2, "two").airport(3, "three")
                        .flight(10, "ten", 2, 1, 2).flight(11, "eleven", 1, 2, 3));
                n.setSeats(1, 10, 5);
                first = n.fitAndBook(9, 1, 3, 2, "order-1").id();
                n.checkpoint();
                Booking second = n.fitAndBook(9, 1, 3, 1);
                assertTrue(n.cancel(second.id()));
                n.fitAndBook(9, 2, 3, 1, "order-2");
            }
            try (Network n = Network.open(work.resolve(mode.name()), mode)) {
                assertEquals(3, n.airports().size());
                assertEquals(5, n.seats(1, 10).capacity());
                assertEquals(2, n.seats(1, 10).sold());
                assertEquals(3, n.seats(2, 11).sold());
                assertTrue(n.booking(2).cancelled());
                // The key is kept: the same request answers with its booking.
                assertEquals(first, n.fitAndBook(9, 1, 3, 2, "order-1").id());
                assertEquals(2, n.bookings(2, 11).size());
                assertEquals(4, n.fitAndBook(9, 1, 2, 1).id());
            }
        }
    }

    @Test
    void foldersThatCannotBeUsedAreRefusedWithTheirPath() throws IOException {
        Path file = Files.writeString(work.resolve("plain"), "not a folder");
        StorageException notFolder =
                assertThrows(StorageException.class, () -> Network.open(file, Durability.FULL));
        assertTrue(notFolder.getMessage().contains(file.toString()), notFolder.getMessage());
        assertEquals("not a folder", Files.readString(file));

        Path folder = work.resolve("held");
        try (Network n = Network.open(folder, Durability.FULL)) {
            StorageException held = assertThrows(StorageException.class, () -> Network.open(folder, Durability.NORMAL));
            assertTrue(held.getMessage().contains("process id " + ProcessHandle.current().pid()), held.getMessage());
            n.addAirport(1, "still usable");
        }
        // A snapshot cut short: refused with the file and the offset.
        Path snapshot = folder.resolve("snapshot-0.snap");
        byte[] whole = Files.readAllBytes(snapshot);
        Files.write(snapshot, java.util.Arrays.copyOf(whole, 30));
        StorageException cut = assertThrows(StorageException.class, () -> Network.open(folder, Durability.FULL));
        assertTrue(cut.getMessage().contains(snapshot.toString()) && cut.getMessage().contains("offset 30"),
                cut.getMessage());
        assertEquals(30, Files.size(snapshot));

        try (Network memory = new Network()) {
            assertThrows(IllegalStateException.class, memory::checkpoint);
        }
    }
}
