package judge;

public final class NoMain {
    public static void run(String[] args) {
        System.out.println("run, not main");
    }
}
