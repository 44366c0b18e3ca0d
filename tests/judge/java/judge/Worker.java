package judge;

/** main returns at once; a non-daemon thread finishes later and must still be waited for. */
public final class Worker {
    public static void main(String[] args) {
        Thread worker = new Thread(() -> {
            try {
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
