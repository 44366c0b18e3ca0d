package judge;

/**
 * main returns at once; a non-daemon thread waits until the main thread has ended (the launcher
 * detached it), then a little longer, and prints. The VM must still be there for it.
 */
public final class Worker {
    public static void main(String[] args) {
        Thread mainThread = Thread.currentThread();
        Thread worker = new Thread(() -> {
            try {
                mainThread.join();
                Thread.sleep(Long.parseLong(args[0]));
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("worker finished");
        });
        worker.setDaemon(false);
        worker.start();
        System.out.println("main returned");
    }
}
