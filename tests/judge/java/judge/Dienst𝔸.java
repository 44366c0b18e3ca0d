package judge;

import java.util.concurrent.CountDownLatch;

/** main waits for stop(). The name holds a character that FindClass finds only in modified UTF-8. */
public final class Dienst𝔸 {
    private static final CountDownLatch stopped = new CountDownLatch(1);

    public static void main(String[] args) throws InterruptedException {
        stopped.await();
        System.out.println("main returned");
    }

    public static void stop() {
        System.out.println("stop called on " + Thread.currentThread().getName());
        stopped.countDown();
    }
}
