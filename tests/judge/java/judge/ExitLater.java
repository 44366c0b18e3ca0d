package judge;

/**
 * main returns; a daemon thread ends the process with System.exit(3) a little later. Only a
 * launcher that keeps its Java thread asleep after main (IBM runtimes) lets it get that far.
 */
public final class ExitLater {
    private static volatile boolean mainDone;

    public static void main(String[] args) {
        Thread exiter = new Thread(() -> {
            try {
                while (!mainDone) {
                    Thread.sleep(10);
                }
                Thread.sleep(300);
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("exiting from a daemon thread");
            System.exit(3);
        });
        exiter.setDaemon(true);
        exiter.start();
        System.out.println("main returned");
        mainDone = true;
    }
}
